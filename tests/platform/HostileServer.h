#pragma once
// A server on 127.0.0.1 that answers every request with one kind of misbehaviour, picked by the
// request's path, for the tests that check that each ends within its limit with its reason:
//
//   /silent      never answers (the connection is taken, nothing is said) — see CSilentServer
//   /drip        a 200 whose body comes one byte every 400 ms
//   /cut         a 200 that promises 4000 bytes and closes after 100
//   /huge        a 200 with a body of 1 MB
//   /loop        a 302 to itself
//   /garbage     a 200 of random bytes
//   /bomb        an XML document whose entities expand to gigabytes (billion laughs)
//   /xxe         an XML document whose entity names file:///etc/passwd
//   /encoding    an XML document declaring an encoding that does not exist, in bytes of another
//   /utf16       an XML document declaring UTF-16 in bytes that are not UTF-16
//   /html        a 200 HTML page
//   /503         a 503 error page
//
// The documents are built by the caller (BodyFor); the server adds the status and headers.

#include "platform/LoopbackServer.h"

#include <atomic>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace hostile {

// The billion laughs: ten levels of ten references each, inside the text of `element`.
inline std::string EntityBomb(const std::string& before, const std::string& after) {
    std::string dtd = "<!DOCTYPE d [<!ENTITY l0 \"ha\">";
    for (int level = 1; level <= 10; ++level) {
        dtd += "<!ENTITY l" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i)
            dtd += "&l" + std::to_string(level - 1) + ";";
        dtd += "\">";
    }
    dtd += "]>";
    return "<?xml version=\"1.0\"?>" + dtd + before + "&l10;" + after;
}

// A document whose entity `xxe` names the password file, used inside its text.
inline std::string ExternalEntity(const std::string& before, const std::string& after) {
    return "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>" +
           before + "&xxe;" + after;
}

inline std::string Garbage(size_t size) {
    std::mt19937 random(1234);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

// Every path above but /silent and /drip, answered with exact bytes. `body` gives the document
// of /bomb, /xxe, /encoding and /utf16 (a feed, or an XML-RPC answer).
class CHostileServer {
public:
    using BodyFor = std::function<std::string(const std::string& path)>;
    explicit CHostileServer(BodyFor body)
        : m_body(std::move(body)), m_raw([this](const std::string& r) { return Answer(r); }) {
        const auto drip = [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("text/xml", [](size_t, httplib::DataSink& sink) {
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                return sink.is_writable() && sink.write("<", 1);
            });
        };
        m_drip.Server().Get("/drip", drip);
        m_drip.Server().Post("/drip", drip);
        m_drip.Start();
    }

    std::string Url(const std::string& path) const {
        if (path == "/silent")
            return m_silent.Url(path);
        if (path == "/drip")
            return m_drip.Url(path);
        return m_raw.Url(path);
    }

private:
    std::string Answer(const std::string& request) {
        size_t start = request.find(' ') + 1;
        std::string path = request.substr(start, request.find(' ', start) - start);
        using loopback::CRawServer;
        if (path == "/cut")
            return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 4000\r\n"
                   "Connection: close\r\n\r\n<?xml version=\"1.0\"?>" +
                   std::string(79, ' ');
        if (path == "/huge")
            return CRawServer::Answer(200, "<rss>" + std::string(1 << 20, ' ') + "</rss>",
                                      "Content-Type: text/xml\r\n");
        if (path == "/loop")
            return CRawServer::Answer(302, "", "Location: " + m_raw.Url("/loop") + "\r\n");
        if (path == "/garbage")
            return CRawServer::Answer(200, Garbage(3000),
                                      "Content-Type: application/octet-stream\r\n");
        if (path == "/html")
            return CRawServer::Answer(
                200,
                "<!DOCTYPE html><html><head><title>欢迎</title></head><body><p>登录</p>"
                "<a href=\"/x\">x</a></body></html>",
                "Content-Type: text/html; charset=utf-8\r\n");
        if (path == "/503")
            return CRawServer::Answer(503, "<html><body><h1>Service Unavailable</h1></body></html>",
                                      "Content-Type: text/html\r\n");
        return CRawServer::Answer(200, m_body(path), "Content-Type: text/xml\r\n");
    }

    BodyFor m_body;
    loopback::CSilentServer m_silent;
    loopback::CHttpServer m_drip;
    loopback::CRawServer m_raw;
};

} // namespace hostile
