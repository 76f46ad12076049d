#include "platform/http/HttpClient.h"

#include "platform/HostileServer.h"
#include "platform/TestCertificate.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <zlib.h>

using loopback::CHttpServer;
using loopback::CRawServer;
using loopback::CSilentServer;

namespace {

// Limits short enough that a test never waits long for a server that does not answer.
HttpLimits ShortLimits() {
    HttpLimits limits;
    limits.connectTimeoutMs = 2000;
    limits.totalTimeoutMs = 3000;
    return limits;
}

std::string Compress(const std::string& data, bool gzip) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, gzip ? 15 + 16 : 15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// The header lines of a raw request, without the request line.
std::vector<std::string> HeaderLines(const std::string& request) {
    std::vector<std::string> lines;
    size_t end = request.find("\r\n\r\n");
    size_t pos = request.find("\r\n") + 2;
    while (pos < end) {
        size_t next = request.find("\r\n", pos);
        lines.push_back(request.substr(pos, next - pos));
        pos = next + 2;
    }
    return lines;
}

std::ptrdiff_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
    auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : it - lines.begin();
}

bool HasLineStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines) {
        if (strncasecmp(line.c_str(), prefix.c_str(), prefix.size()) == 0)
            return true;
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Answers

TEST(HttpClient, ReadsWholeBodiesWithStatusTypeAndFinalAddress) {
    // Larger than any read block, with NUL bytes inside: nothing may cut it short.
    std::string body(100000, 'x');
    body[10] = '\0';
    body[70000] = '\0';
    CHttpServer server;
    server.Server().Get("/data", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, "application/octet-stream");
    });
    server.Server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("<html>not here</html>", "text/html");
    });
    server.Server().Get("/error", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content("boom", "text/plain");
    });
    server.Start();

    CHttpClient client;
    HttpResponse ok = client.Get(server.Url("/data"));
    ASSERT_EQ(ok.result, HttpResult::kOk) << ok.errorText;
    EXPECT_EQ(ok.status, 200);
    EXPECT_TRUE(ok.IsSuccess());
    EXPECT_EQ(ok.body.size(), body.size());
    EXPECT_EQ(ok.body, body);
    EXPECT_EQ(ok.contentType, "application/octet-stream");
    EXPECT_EQ(ok.finalUrl, server.Url("/data"));

    HttpResponse missing = client.Get(server.Url("/missing"));
    EXPECT_EQ(missing.result, HttpResult::kOk);
    EXPECT_EQ(missing.status, 404);
    EXPECT_FALSE(missing.IsSuccess());
    EXPECT_EQ(missing.body, "<html>not here</html>");

    HttpResponse error = client.Get(server.Url("/error"));
    EXPECT_EQ(error.status, 500);
    EXPECT_FALSE(error.IsSuccess());
}

TEST(HttpClient, SendsHeadersInTheGivenOrderAndBodiesAsTheyAre) {
    CRawServer server([](const std::string&) { return CRawServer::Answer(200, "<ok/>"); });
    CHttpClient client;
    std::string body = "<?xml version=\"1.0\"?><methodCall>\xE4\xB8\xAD</methodCall>";
    body.push_back('\0');
    body += "tail";
    HttpResponse post =
        client.Post(server.Url("/xmlrpc.php?x=1"), body,
                    {{"User-Agent", "quill"}, {"Content-Type", "text/xml"}, {"X-Third", "3"}});
    ASSERT_TRUE(post.IsSuccess()) << post.errorText;
    EXPECT_EQ(post.body, "<ok/>");

    HttpResponse get = client.Get(server.Url("/feed"));
    ASSERT_TRUE(get.IsSuccess()) << get.errorText;

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string& raw = requests[0];
    EXPECT_EQ(raw.substr(0, raw.find("\r\n")), "POST /xmlrpc.php?x=1 HTTP/1.1");
    auto lines = HeaderLines(raw);
    auto agent = IndexOf(lines, "User-Agent: quill");
    auto type = IndexOf(lines, "Content-Type: text/xml");
    auto third = IndexOf(lines, "X-Third: 3");
    ASSERT_GE(agent, 0);
    EXPECT_LT(agent, type);
    EXPECT_LT(type, third);
    EXPECT_FALSE(HasLineStarting(lines, "Expect:")) << "no 100-continue round trip";
    EXPECT_TRUE(HasLineStarting(lines, "Content-Length: " + std::to_string(body.size())));
    EXPECT_EQ(raw.substr(raw.find("\r\n\r\n") + 4), body);

    // Without a User-Agent of its own, a request names the program.
    auto getLines = HeaderLines(requests[1]);
    EXPECT_TRUE(HasLineStarting(getLines, "User-Agent: Quillmark"));
    EXPECT_EQ(requests[1].substr(0, 4), "GET ");
}

TEST(HttpClient, FollowsRedirectsAndStopsAtLoopsAndOtherSchemes) {
    CHttpServer server;
    server.Server().Get("/old", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/new", 301);
    });
    server.Server().Get("/new", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("moved here", "text/plain");
    });
    server.Server().Get("/loop", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/loop", 302);
    });
    server.Server().Get("/local", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("file:///etc/hostname", 302);
    });
    server.Start();

    CHttpClient client;
    client.SetLimits(ShortLimits());
    HttpResponse moved = client.Get(server.Url("/old"));
    ASSERT_TRUE(moved.IsSuccess()) << moved.errorText;
    EXPECT_EQ(moved.body, "moved here");
    EXPECT_EQ(moved.finalUrl, server.Url("/new"));

    HttpResponse loop = client.Get(server.Url("/loop"));
    EXPECT_EQ(loop.result, HttpResult::kTooManyRedirects);
    EXPECT_TRUE(loop.body.empty());

    // A feed must not be able to send the client to a local file.
    HttpResponse local = client.Get(server.Url("/local"));
    EXPECT_FALSE(local.IsSuccess());
    EXPECT_TRUE(local.body.empty());

    HttpRequest noFollow;
    noFollow.url = server.Url("/old");
    noFollow.followRedirects = false;
    HttpResponse first = client.Perform(noFollow);
    EXPECT_EQ(first.status, 301);
    EXPECT_EQ(first.Header("location"), "/new");

    for (const char* bad : {"file:///etc/passwd", "ftp://127.0.0.1/x", "not an address", ""})
        EXPECT_EQ(client.Get(bad).result, HttpResult::kBadUrl) << bad;
}

TEST(HttpClient, DecodesGzipAndDeflateAnswers) {
    const std::string text = std::string(5000, 'a') + "<rss>中文</rss>";
    CRawServer server([&](const std::string& request) {
        bool gzip = request.find("GET /gz") == 0;
        return CRawServer::Answer(200, Compress(text, gzip),
                                  gzip ? "Content-Encoding: gzip\r\n"
                                       : "Content-Encoding: deflate\r\n");
    });
    CHttpClient client;
    HttpResponse gz = client.Get(server.Url("/gz"));
    ASSERT_TRUE(gz.IsSuccess()) << gz.errorText;
    EXPECT_EQ(gz.body, text);
    HttpResponse deflated = client.Get(server.Url("/deflate"));
    ASSERT_TRUE(deflated.IsSuccess()) << deflated.errorText;
    EXPECT_EQ(deflated.body, text);

    std::string accept;
    for (const std::string& line : HeaderLines(server.Requests()[0])) {
        if (line.rfind("Accept-Encoding:", 0) == 0)
            accept = line;
    }
    EXPECT_NE(accept.find("gzip"), std::string::npos);
    EXPECT_NE(accept.find("deflate"), std::string::npos);
}

TEST(HttpClient, ConditionalGetReportsValidatorsAndNotModified) {
    const std::string etag = "\"v1\"";
    const std::string modified = "Tue, 07 Mar 2006 09:05:00 GMT";
    std::string seenSince;
    CHttpServer server;
    server.Server().Get("/feed", [&](const httplib::Request& req, httplib::Response& res) {
        seenSince = req.get_header_value("If-Modified-Since");
        if (req.get_header_value("If-None-Match") == etag) {
            res.status = 304;
            return;
        }
        res.set_header("ETag", etag);
        res.set_header("Last-Modified", modified);
        res.set_content("<rss/>", "text/xml");
    });
    server.Start();

    CHttpClient client;
    HttpResponse first = client.Get(server.Url("/feed"));
    ASSERT_TRUE(first.IsSuccess()) << first.errorText;
    EXPECT_EQ(first.etag, etag);
    EXPECT_EQ(first.lastModified, modified);

    HttpRequest again;
    again.url = server.Url("/feed");
    again.ifNoneMatch = first.etag;
    again.ifModifiedSince = first.lastModified;
    HttpResponse second = client.Perform(again);
    EXPECT_TRUE(second.IsNotModified());
    EXPECT_FALSE(second.IsSuccess());
    EXPECT_TRUE(second.body.empty());
    EXPECT_EQ(seenSince, modified);
}

// ---------------------------------------------------------------------------------------------
// Bounds: size, time, broken connections, cancellation

TEST(HttpClient, BodiesOverTheLimitAreRefusedWhole) {
    CHttpServer server;
    const std::string big(5000, 'z');
    server.Server().Get("/sized", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(big, "text/plain");
    });
    server.Server().Get("/chunked", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [&](size_t offset, httplib::DataSink& sink) {
            if (offset >= big.size()) {
                sink.done();
                return true;
            }
            sink.write(big.data() + offset, 500);
            return true;
        });
    });
    server.Start();

    CHttpClient client;
    HttpLimits limits = ShortLimits();
    limits.maxBodyBytes = 1000;
    client.SetLimits(limits);
    for (const char* path : {"/sized", "/chunked"}) {
        HttpResponse response = client.Get(server.Url(path));
        EXPECT_EQ(response.result, HttpResult::kTooLarge) << path;
        EXPECT_TRUE(response.body.empty()) << path;
    }
    limits.maxBodyBytes = 5000;
    client.SetLimits(limits);
    EXPECT_EQ(client.Get(server.Url("/chunked")).body, big) << "exactly at the limit is fine";
}

TEST(HttpClient, SilentRefusedAndCutConnectionsFail) {
    CHttpClient client;
    HttpLimits limits = ShortLimits();
    limits.totalTimeoutMs = 400;
    client.SetLimits(limits);

    CSilentServer silent;
    HttpResponse timedOut = client.Get(silent.Url("/feed"));
    EXPECT_EQ(timedOut.result, HttpResult::kTimeout);
    EXPECT_TRUE(timedOut.body.empty());

    HttpResponse refused =
        client.Get("http://127.0.0.1:" + std::to_string(loopback::ClosedPort()) + "/");
    EXPECT_EQ(refused.result, HttpResult::kConnectFailed);

    // Promises 1000 bytes, sends 100 and hangs up.
    CRawServer cut([](const std::string&) {
        return "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(100, 'c');
    });
    HttpResponse partial = client.Get(cut.Url("/feed"));
    EXPECT_EQ(partial.result, HttpResult::kTransferFailed);
    EXPECT_TRUE(partial.body.empty());

    // Garbage where a status line belongs.
    CRawServer garbage([](const std::string&) { return std::string("\x01\x02\xFF\xFEnot http"); });
    EXPECT_FALSE(client.Get(garbage.Url("/")).IsSuccess());
}

TEST(HttpClient, StalledTransfersEndAfterTheLowSpeedWindow) {
    // The total timeout is far away: only the stall rule can end these in time.
    HttpLimits limits;
    limits.totalTimeoutMs = 60'000;
    limits.lowSpeedTimeMs = 1000;
    EXPECT_GT(limits.lowSpeedBytesPerSecond, 1) << "a drip of one byte a second must count";
    EXPECT_EQ(HttpLimits().lowSpeedTimeMs, 30'000) << "on by default";
    CHttpClient client;
    client.SetLimits(limits);

    // A server that says nothing, and one that sends a byte now and then.
    hostile::CHostileServer server([](const std::string&) { return std::string(); });
    HttpResponse silence = client.Get(server.Url("/silent"));
    EXPECT_EQ(silence.result, HttpResult::kTimeout);
    EXPECT_EQ(silence.errorText, "服务器 1 秒内没有回答");

    HttpResponse dripped = client.Get(server.Url("/drip"));
    EXPECT_EQ(dripped.result, HttpResult::kTimeout);
    EXPECT_TRUE(dripped.body.empty());
    EXPECT_EQ(dripped.errorText.rfind("传输停滞", 0), 0u) << dripped.errorText;

    // The total timeout still has its own words.
    limits.totalTimeoutMs = 400;
    limits.lowSpeedTimeMs = 0;
    client.SetLimits(limits);
    EXPECT_EQ(client.Get(server.Url("/silent")).errorText, "服务器 0.4 秒内没有回答");
}

TEST(HttpClient, CancelTokenAndExitFlagEndATransfer) {
    CSilentServer silent;
    CHttpClient client;
    HttpLimits limits;
    limits.totalTimeoutMs = 60'000; // only the abort can end these transfers in time
    client.SetLimits(limits);

    CCancelToken token;
    HttpRequest request;
    request.url = silent.Url("/feed");
    request.cancel = &token;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        token.Cancel();
    });
    HttpResponse cancelled = client.Perform(request);
    canceller.join();
    EXPECT_EQ(cancelled.result, HttpResult::kCancelled);

    std::atomic<int> exiting{0};
    client.SetExitFlag(&exiting);
    std::thread exiter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        exiting = 1;
    });
    HttpResponse ended = client.Get(silent.Url("/other"));
    exiter.join();
    EXPECT_EQ(ended.result, HttpResult::kCancelled);

    // Once the flag is up, nothing starts.
    EXPECT_EQ(client.Get(silent.Url("/third")).result, HttpResult::kCancelled);
}

// ---------------------------------------------------------------------------------------------
// Proxy

TEST(HttpClient, LocalAddressRule) {
    for (const char* host :
         {"192.168.1.5", "10.0.0.1", "127.0.0.1", "intranet", "localhost", "10.example.com"})
        EXPECT_TRUE(HttpProxy::IsLocalHost(host)) << host;
    for (const char* host :
         {"192x.example.com", "example.com", "172.16.0.1", "1.2.3.4", "www.192.com"})
        EXPECT_FALSE(HttpProxy::IsLocalHost(host)) << host;
}

TEST(HttpClient, ManualProxyGetsTheRequestsWithCredentialsButNotThoseForLocalHosts) {
    CRawServer proxyServer([](const std::string&) { return CRawServer::Answer(200, "via proxy"); });
    CRawServer target([](const std::string&) { return CRawServer::Answer(200, "direct"); });
    HttpProxy proxy;
    proxy.mode = HttpProxy::Mode::kManual;
    proxy.server = "127.0.0.1";
    proxy.port = std::to_string(proxyServer.Port());
    proxy.userName = "用户";
    proxy.password = "p:w";

    CHttpClient client;
    client.SetLimits(ShortLimits());
    client.SetProxy(proxy);
    HttpResponse response = client.Get("http://feeds.example.invalid/rss?a=1");
    ASSERT_TRUE(response.IsSuccess()) << response.errorText;
    EXPECT_EQ(response.body, "via proxy");
    EXPECT_EQ(client.Get(target.Url("/feed")).body, "direct");

    // No password is sent without a user name; a local host goes through it when asked.
    proxy.userName.clear();
    proxy.useForLocalHosts = true;
    client.SetProxy(proxy);
    EXPECT_EQ(client.Get(target.Url("/feed")).body, "via proxy");

    // Switched off, the record ignores the environment's proxy as well.
    const char* old = std::getenv("http_proxy");
    std::string saved = old ? old : "";
    ::setenv("http_proxy", proxyServer.Url().c_str(), 1);
    proxy.mode = HttpProxy::Mode::kDirect;
    client.SetProxy(proxy);
    EXPECT_EQ(client.Get(target.Url("/feed")).body, "direct");
    if (old)
        ::setenv("http_proxy", saved.c_str(), 1);
    else
        ::unsetenv("http_proxy");

    EXPECT_EQ(target.Requests().size(), 2u);
    auto requests = proxyServer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
              "GET http://feeds.example.invalid/rss?a=1 HTTP/1.1");
    // Base64 of "用户:p:w" in UTF-8.
    EXPECT_GE(IndexOf(HeaderLines(requests[0]), "Proxy-Authorization: Basic 55So5oi3OnA6dw=="), 0);
    EXPECT_FALSE(HasLineStarting(HeaderLines(requests[1]), "Proxy-Authorization:"));
}

// ---------------------------------------------------------------------------------------------
// TLS

using loopback::CTestCertificate;

TEST(HttpClient, VerifiesCertificatesAndHostNames) {
    std::string folder = MakeTempDir();
    auto serve = [](CTestCertificate& certificate) {
        auto server = std::make_unique<httplib::SSLServer>(certificate.cert, certificate.key);
        // One request per connection, so that stopping never waits on an idle TLS connection.
        server->set_keep_alive_max_count(1);
        server->Get("/feed", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("secret", "text/plain");
        });
        return server;
    };

    CTestCertificate good("IP:127.0.0.1");
    auto goodServer = serve(good);
    ASSERT_TRUE(goodServer->is_valid());
    CHttpServer goodRunner(goodServer.get());
    goodRunner.Start();
    std::string url = "https://127.0.0.1:" + std::to_string(goodRunner.Port()) + "/feed";

    CHttpClient client;
    client.SetLimits(ShortLimits());
    // Signed by nobody the system trusts.
    HttpResponse untrusted = client.Get(url);
    EXPECT_EQ(untrusted.result, HttpResult::kTlsFailed);
    EXPECT_TRUE(untrusted.body.empty());

    WriteAll(folder + "/good.pem", good.pem);
    client.SetCaFile(folder + "/good.pem");
    HttpResponse trusted = client.Get(url);
    ASSERT_TRUE(trusted.IsSuccess()) << trusted.errorText;
    EXPECT_EQ(trusted.body, "secret");

    // Trusted, but made out to another host.
    CTestCertificate other("DNS:other.example");
    auto otherServer = serve(other);
    CHttpServer otherRunner(otherServer.get());
    otherRunner.Start();
    WriteAll(folder + "/other.pem", other.pem);
    client.SetCaFile(folder + "/other.pem");
    HttpResponse mismatch =
        client.Get("https://127.0.0.1:" + std::to_string(otherRunner.Port()) + "/feed");
    EXPECT_EQ(mismatch.result, HttpResult::kTlsFailed);

    goodRunner.Stop();
    otherRunner.Stop();
    RemoveTree(folder);
}
