#pragma once

#include "platform/http/CancelToken.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct HttpHeader {
    std::string name;
    std::string value;
};

// How requests reach the network.
struct HttpProxy {
    enum class Mode {
        kSystem, // as the environment says (http_proxy, https_proxy, no_proxy)
        kDirect, // never through a proxy
        kManual, // through server:port below
    };
    Mode mode = Mode::kSystem;
    // With kManual: go through the proxy for local hosts too (see IsLocalHost).
    bool useForLocalHosts = false;
    std::string server;
    std::string port; // decimal text, as the settings hold it
    // Basic credentials for the proxy, sent only when the user name is not empty.
    std::string userName;
    std::string password;

    // The program's own rule for a "local" host: a name without a dot, or one whose first label
    // is exactly 192, 127 or 10.
    static bool IsLocalHost(std::string_view host);
};

// Bounds on one transfer. A zero timeout or size turns that bound off (never the default).
struct HttpLimits {
    long connectTimeoutMs = 20'000;
    long totalTimeoutMs = 120'000;
    // A transfer that moves fewer than lowSpeedBytesPerSecond bytes a second for lowSpeedTimeMs
    // (measured in whole seconds) is stalled and ends as kTimeout: a server that accepts and
    // never answers, or drips its answer, fails after this window instead of the total
    // timeout, while a large transfer that keeps moving still has the total timeout to finish.
    // The rule is "less than", so the threshold sits well above 1: a server dripping one byte a
    // second is stalled too (16 bytes a second is still far below any working connection).
    long lowSpeedBytesPerSecond = 16;
    long lowSpeedTimeMs = 30'000;
    std::size_t maxBodyBytes = 32u << 20; // after decompression
    long maxRedirects = 8;                // 0 follows none
};

struct HttpRequest {
    std::string method = "GET"; // "GET", "POST", or another verb
    std::string url;
    // Sent in this order after the connection's own headers. A header given here replaces the
    // client's default of that name (User-Agent, Accept, Content-Type).
    std::vector<HttpHeader> headers;
    std::string body; // sent as it is with POST (and other verbs that carry one)
    // Conditional GET: the validators of an earlier answer.
    std::string ifNoneMatch;     // its ETag
    std::string ifModifiedSince; // its Last-Modified
    bool followRedirects = true;
    // Raised from another thread, it ends the transfer within a fraction of a second.
    const CCancelToken* cancel = nullptr;
};

enum class HttpResult {
    kOk,               // an answer came (look at its status)
    kBadUrl,           // not an http or https address, or malformed
    kConnectFailed,    // name not found, connection refused, proxy unreachable
    kTlsFailed,        // handshake failed or the certificate or host name did not verify
    kTimeout,          // connect or total timeout
    kTooLarge,         // the body passed maxBodyBytes
    kTooManyRedirects, // a redirect loop, or more than maxRedirects
    kTransferFailed,   // connection cut mid-answer, bad compression, other transfer faults
    kCancelled,        // the cancel token or the exit flag was raised
};

struct HttpResponse {
    HttpResult result = HttpResult::kTransferFailed;
    long status = 0;      // status code of the final answer
    std::string finalUrl; // address of the final answer, after redirects
    std::string body;     // the whole decoded body, NUL bytes included; empty unless kOk
    std::string contentType;
    std::string etag; // validators of the answer, for the next conditional GET
    std::string lastModified;
    std::vector<HttpHeader> headers; // of the final answer, in the order received
    // The statuses of the redirect answers followed on the way to the final one, in order.
    std::vector<long> redirects;
    std::string errorText;           // what went wrong, for logs and tests

    bool Ok() const { return result == HttpResult::kOk; }
    bool IsSuccess() const { return Ok() && status >= 200 && status <= 299; }
    bool IsNotModified() const { return Ok() && status == 304; }
    // The value of the first header of that name (case ignored), "" when absent.
    std::string Header(std::string_view name) const;
    // Every redirect on the way was permanent (301 or 308), and there was at least one.
    bool MovedPermanently() const;
    // Whether the answer is an HTML page: its type says so, or its first 512 bytes open one
    // (<html, <!doctype html or <head) whatever type the server gave.
    bool LooksLikeHtml() const;
    // The seconds a Retry-After header of the answer asks for (a number, or a date measured
    // from now), capped at a day; -1 when there is none or it cannot be read.
    long RetryAfterSeconds() const;
};

// The one HTTP client of the program, over libcurl. Every transfer:
//  - speaks http and https only (redirects included), verifies TLS certificates and host names;
//  - accepts gzip and deflate answers and decodes them;
//  - follows redirects up to the limit and reports the final address and status;
//  - has a connect timeout, a total timeout and a body-size limit (HttpLimits);
//  - ends promptly when the request's cancel token or the client's exit flag is raised;
//  - reads the answer whole, or reports why not.
// A client serves one thread at a time; keep one per worker so connections are reused.
class CHttpClient {
public:
    CHttpClient();
    ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    void SetProxy(const HttpProxy& proxy) { m_proxy = proxy; }
    const HttpProxy& GetProxy() const { return m_proxy; }
    void SetLimits(const HttpLimits& limits) { m_limits = limits; }
    const HttpLimits& GetLimits() const { return m_limits; }
    // Sent unless a request names its own User-Agent.
    void SetUserAgent(std::string userAgent) { m_userAgent = std::move(userAgent); }
    // A process-wide flag (the program's exit flag) that ends every transfer of this client
    // when it becomes non-zero.
    void SetExitFlag(const std::atomic<int>* flag) { m_exitFlag = flag; }
    // Certificates to trust instead of the system's (a PEM file); "" for the system's.
    void SetCaFile(std::string path) { m_caFile = std::move(path); }

    HttpResponse Perform(const HttpRequest& request);
    HttpResponse Get(const std::string& url);
    HttpResponse Post(const std::string& url, std::string body, std::vector<HttpHeader> headers);

    static const char* DefaultUserAgent();
    // Initialises libcurl once for the process; every client calls it, any thread may.
    static void GlobalInit();

private:
    bool IsAborted(const HttpRequest& request) const;

    void* m_easy = nullptr;  // CURL*
    void* m_multi = nullptr; // CURLM*
    HttpProxy m_proxy;
    HttpLimits m_limits;
    std::string m_userAgent;
    std::string m_caFile;
    const std::atomic<int>* m_exitFlag = nullptr;
};
