#pragma once

#include "app/AccountStore.h"
#include "blogclient/XmlRpcRequest.h"
#include "platform/http/HttpClient.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

// The WordPress peer of $QUILL_SHARED_DIR/peers/wordpress: its endpoints, users and certificate.
inline std::string PeerDir() {
    const char* dir = std::getenv("WP_PEER_DIR");
    return dir && *dir ? dir : "/tmp/quill-wp";
}
inline const char* kPeerUrl = "http://127.0.0.1:8080/xmlrpc.php";
inline const char* kPeerTlsUrl = "https://127.0.0.1:8443/xmlrpc.php";

// "" when the peer can be used, else the one-line reason to skip: QUILL_SHARED_DIR must name the
// shared folder holding peers/wordpress, and xmlrpc.php must answer. Asked once per program.
inline const std::string& PeerSkipReason() {
    static const std::string reason = []() -> std::string {
        std::string missing = SharedSkipReason("peers/wordpress/start.sh");
        if (!missing.empty())
            return missing;
        CHttpClient client;
        HttpLimits limits;
        limits.connectTimeoutMs = 2000;
        limits.totalTimeoutMs = 10000;
        client.SetLimits(limits);
        HttpProxy direct;
        direct.mode = HttpProxy::Mode::kDirect;
        client.SetProxy(direct);
        HttpResponse r =
            client.Post(kPeerUrl,
                        "<?xml version=\"1.0\"?><methodCall><methodName>demo.sayHello</methodName>"
                        "<params/></methodCall>",
                        {{"Content-Type", "text/xml"}});
        if (r.IsSuccess() && r.body.find("Hello!") != std::string::npos)
            return {};
        return std::string("the WordPress peer does not answer at ") + kPeerUrl +
               " (start it with " + SharedDir() + "/peers/wordpress/start.sh)";
    }();
    return reason;
}

#define SKIP_WITHOUT_PEER()                                                                        \
    do {                                                                                           \
        if (!PeerSkipReason().empty())                                                             \
            GTEST_SKIP() << PeerSkipReason();                                                      \
    } while (0)

// The REST base the peer's pages announce (plain permalinks: the ?rest_route= form).
inline const char* kPeerRestUrl = "http://127.0.0.1:8080/index.php?rest_route=/";

// Removes the application password it holds when the program ends (WordPress checks every
// password of the user at each REST call, so they are not left to pile up).
class CPeerAppPassword {
public:
    explicit CPeerAppPassword(std::string password) : m_password(std::move(password)) {}
    ~CPeerAppPassword() {
        if (m_password.empty())
            return;
        const std::string base = "http://127.0.0.1:8080/index.php?rest_route=";
        const std::string auth = "Basic " + CXmlRpcRequest::Base64Encode("admin:" + m_password);
        CHttpClient client;
        HttpRequest introspect{.url = base + "/wp/v2/users/me/application-passwords/introspect"};
        introspect.headers = {{"Authorization", auth}};
        const std::string body = client.Perform(introspect).body;
        const size_t at = body.find("\"uuid\":\"");
        if (at == std::string::npos)
            return;
        const size_t start = at + 8;
        HttpRequest remove{.method = "DELETE",
                           .url = base + "/wp/v2/users/me/application-passwords/" +
                                  body.substr(start, body.find('"', start) - start)};
        remove.headers = {{"Authorization", auth}};
        client.Perform(remove);
    }
    const std::string& Password() const { return m_password; }

private:
    std::string m_password;
};

// An application password of the peer's admin, made once per program by app-password.sh and
// removed again at its end; "" when it could not be made.
inline const std::string& PeerAppPassword() {
    static const CPeerAppPassword held([] {
        std::string command = "bash '" + SharedDir() + "/peers/wordpress/app-password.sh'";
        std::string out;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe))
                out += buffer;
            ::pclose(pipe);
        }
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
            out.pop_back();
        return out;
    }());
    return held.Password();
}

// An account of the peer's admin for the interface type; a WordPress REST account goes to the
// REST base with an application password.
inline AccountRecord PeerAccount(const std::string& name, const std::string& type,
                                 const std::string& encoding = "UTF-8") {
    AccountRecord a;
    a.name = name;
    a.description = name;
    a.xmlrpcurl = type == "WordPress REST" ? kPeerRestUrl : kPeerUrl;
    a.port = "8080";
    a.blogapitype = type;
    a.username = "admin";
    a.password = type == "WordPress REST" ? PeerAppPassword() : "quill-pass-1";
    a.blogurl = "http://127.0.0.1:8080/";
    a.encodetype = encoding;
    return a;
}
