#pragma once

#include "app/AppSettings.h"
#include "platform/http/HttpClient.h"

#include <string>
#include <vector>

class CAppContext;

// One weblog interface a site announces.
struct DiscoveredInterface {
    std::string blogapitype; // "WordPress REST", "MetaWeblog", "MovableType" or "Blogger"
    std::string address;     // the account's xmlrpcurl: the endpoint, or the REST base
    std::string port;        // the port the address implies
    std::string source;      // where it was announced: "RSD", "<link>", "Link 头"
    bool answers = false;    // it answered the probe as the interface should
    std::string note; // what the probe found ("服务器拒绝了 XML-RPC 接口 (HTTP 403)"…)
    bool otherHost = false; // on a host other than the one typed: ask before sending the password
};

// What discovery found on a weblog's home page and which interface it proposes.
struct DiscoveryResult {
    bool found = false;    // at least one interface was announced
    std::string pageUrl;   // the page read, after redirects
    std::string typedHost; // the host of the address as the user typed it
    std::vector<DiscoveredInterface> interfaces;
    int chosen = -1;    // the interface proposed, -1 without one
    std::string reason; // why nothing was found (the manual fields stay)

    const DiscoveredInterface* Chosen() const {
        return chosen >= 0 ? &interfaces[static_cast<size_t>(chosen)] : nullptr;
    }
    // The explanation the wizard and quillmark-cli show, one line each: the page read, each
    // interface with its address and what its probe found, and the one proposed (or the reason).
    std::vector<std::string> Explanation() const;
};

// Finds a weblog's interfaces from its home address, as a user types it ("example.com",
// "https://example.com/blog"): reads the page's <link rel="EditURI"> (the RSD document that
// names the XML-RPC interfaces) and its <link rel="https://api.w.org/"> or Link header (the
// WordPress REST base), then asks each once, without any password, whether it answers. REST is
// proposed when it answers (always when XML-RPC is refused or missing), XML-RPC otherwise.
//
// Only http and https are read, within limits (the page kMaxPageBytes, the RSD kMaxRsdBytes,
// kMaxRedirects redirects, kTimeoutMs for each exchange); an RSD document on another host is
// not read; an interface on another host is kept but marked otherHost, and its note says so.
// Blocks the calling thread; Abort() from another thread ends it promptly.
class CWeblogDiscovery {
public:
    // Reads pages through the proxy of the context's settings.
    explicit CWeblogDiscovery(const CAppContext& context);
    DiscoveryResult Discover(const std::string& typed);
    void Abort() { m_cancel.Cancel(); }

    // The address to read for what the user typed: "http(s)://…" as it is, "https://" before
    // a bare host; "" (with the reason) for anything that is not a web address.
    static std::string HomeAddress(const std::string& typed, std::string& reason);
    // The interfaces of an RSD document, in the order this program prefers them (MetaWeblog
    // before MovableType before Blogger; a WordPress or WP-API entry as MetaWeblog or REST),
    // their addresses resolved against the document's own.
    static std::vector<DiscoveredInterface> ReadRsd(const std::string& rsd,
                                                    const std::string& rsdUrl);
    // The host of an address, lower case, without user or port.
    static std::string HostOf(const std::string& url);

    // Certificates to trust instead of the system's (tests).
    void SetCaFile(const std::string& path) { m_client.SetCaFile(path); }

    static constexpr std::size_t kMaxPageBytes = 2u << 20;
    static constexpr std::size_t kMaxRsdBytes = 256u << 10;
    static constexpr long kMaxRedirects = 5;
    static constexpr long kTimeoutMs = 20000;

private:
    HttpResponse Fetch(const std::string& url, std::size_t maxBytes,
                       const std::string& method = "GET", const std::string& body = {});
    void Probe(DiscoveredInterface& found);

    CHttpClient m_client;
    CCancelToken m_cancel;
};
