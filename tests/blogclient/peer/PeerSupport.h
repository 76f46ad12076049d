#pragma once

#include "app/AccountStore.h"
#include "platform/http/HttpClient.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

// The WordPress peer of ../shared/peers/wordpress: its endpoints, users and certificate.
inline std::string PeerDir() {
    const char* dir = std::getenv("WP_PEER_DIR");
    return dir && *dir ? dir : "/tmp/quill-wp";
}
inline const char* kPeerUrl = "http://127.0.0.1:8080/xmlrpc.php";
inline const char* kPeerTlsUrl = "https://127.0.0.1:8443/xmlrpc.php";

// True when xmlrpc.php answers; asked once per test program.
inline bool PeerRunning() {
    static const bool running = [] {
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
        return r.IsSuccess() && r.body.find("Hello!") != std::string::npos;
    }();
    return running;
}

#define SKIP_WITHOUT_PEER()                                                                        \
    do {                                                                                           \
        if (!PeerRunning())                                                                        \
            GTEST_SKIP() << "the WordPress peer does not answer at " << kPeerUrl                   \
                         << " (start it with ../shared/peers/wordpress/start.sh)";                 \
    } while (0)

inline AccountRecord PeerAccount(const std::string& name, const std::string& type,
                                 const std::string& encoding = "UTF-8") {
    AccountRecord a;
    a.name = name;
    a.description = name;
    a.xmlrpcurl = kPeerUrl;
    a.port = "8080";
    a.blogapitype = type;
    a.username = "admin";
    a.password = "quill-pass-1";
    a.blogurl = "http://127.0.0.1:8080/";
    a.encodetype = encoding;
    return a;
}
