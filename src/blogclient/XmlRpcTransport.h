#pragma once

#include "app/AppSettings.h"
#include "platform/http/HttpClient.h"

#include <optional>
#include <string>
#include <vector>

// Where a call goes: the endpoint address split as the account gives it.
struct XmlRpcEndpoint {
    bool secure = false; // the address begins with "https" (any letter case)
    std::string host;
    int port = 0;     // the account's port; the scheme's default when it gives none
    std::string path; // from the "/" after the host to the end, query included
};

// One call's connection values, taken from the interface object.
struct XmlRpcCall {
    std::string url;  // the account's xmlrpcurl
    std::string port; // the account's port text
    std::string encodetype;
    ProxySettings proxy;
    std::string debugPath; // trace file that every exchange is added to; "" for none
    std::string secret;    // the account's password: the trace shows it as kMaskedSecret
    std::string caFile;    // certificates to trust instead of the system's; "" for the system's
    bool msnSpaces = false;
    // The bounds of the transfer; CXmlRpcTransport::CallLimits() when unset.
    std::optional<HttpLimits> limits;
};

// Sends one XML-RPC request by HTTP POST and reads the whole answer. The standard transport
// sends "User-Agent: quill" and "Content-Type: text/xml"; the MSN Spaces one sends its own
// headers and cleans the answer up (text before "<methodResponse" is dropped). Certificates and
// host names are verified, every transfer has connect and total timeouts and an answer size
// limit, and Abort() (or the exit flag) stops it.
class CXmlRpcTransport {
public:
    // 1 with the answer, or 0 after reporting 3001 (address, network, TLS, timeout, abort) or
    // 4002 (status 400 or higher). Either comes with its reason in the details (see
    // FailureReason). With a trace file, every exchange is added to it: the time, the address
    // and the outcome, the request with the password masked, and the answer as it came.
    int Post(const XmlRpcCall& call, const std::string& request, std::string& answer);
    void Abort() { m_cancel.Cancel(); }

    // The parts of the endpoint address; false when it has no host.
    static bool SplitEndpoint(const std::string& url, const std::string& portText,
                              XmlRpcEndpoint& endpoint);
    // The address the request goes to.
    static std::string EndpointUrl(const XmlRpcEndpoint& endpoint);
    // The request headers in their order (proxy credentials go to the proxy alone, by the HTTP
    // client).
    static std::vector<HttpHeader> Headers(bool msnSpaces);
    // What went wrong with a transfer to the address, in words: a timeout, a refused connection
    // or unknown host, a certificate that could not be verified, ... with the HTTP client's own
    // text in parentheses; "HTTP N" for an answer that came with status N.
    static std::string FailureReason(const HttpResponse& response, const std::string& address);
    // Why an answer shows the server refusing XML-RPC itself: status 403 or 405, or a web page
    // (HTML without a methodResponse) where the method's answer belongs. Hosts that block
    // xmlrpc.php answer so while their REST interface still works. "" for any other answer.
    static std::string RefusalReason(const HttpResponse& response);

    // Limits of one call.
    static constexpr long kConnectTimeoutMs = 30000;
    static constexpr long kTotalTimeoutMs = 300000;
    static constexpr std::size_t kMaxAnswerBytes = 64u << 20;
    // The limits of one call: the ones above, and the HTTP client's stall rule (a call that
    // moves almost nothing for its window ends as a timeout).
    static HttpLimits CallLimits();

    // The request with the text of every <string> or untyped <value> that reads as the secret
    // (after its character references are decoded) replaced by kMaskedSecret.
    static std::string MaskSecret(const std::string& request, const std::string& secret);
    static constexpr const char* kMaskedSecret = "********";
    // A trace file bigger than this is started anew before the next exchange is added.
    static constexpr std::size_t kMaxTraceBytes = 16u << 20;
    // Adds one exchange to a trace file: "==== <local time> <heading>", then the body. Calls of
    // several accounts may run at once: each record goes in whole. A file past kMaxTraceBytes
    // starts again; a trace that cannot be written fails nothing.
    static void AppendTrace(const std::string& path, const std::string& heading,
                            const std::string& body);

private:
    CHttpClient m_client;
    CCancelToken m_cancel;
};
