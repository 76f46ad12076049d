#include "reader/FeedFetcher.h"

#include "app/AppPaths.h"
#include "platform/LoopbackServer.h"
#include "platform/fs/FileUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <tuple>

using loopback::CHttpServer;
using loopback::CRawServer;
using loopback::CSilentServer;

namespace {

const std::string kFeed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                          "<title>测试频道</title><item><title>第一条</title>"
                          "<link>http://example.com/1</link>"
                          "<pubDate>Tue, 07 Mar 2006 09:05:00 GMT</pubDate></item>"
                          "<item><title>Second</title><link>http://example.com/2</link></item>"
                          "</channel></rss>";

HttpLimits TestLimits() {
    HttpLimits limits;
    limits.connectTimeoutMs = 2000;
    limits.totalTimeoutMs = 500;
    limits.maxBodyBytes = 64 * 1024;
    return limits;
}

// A feed server with one route per way a feed address can go wrong.
class CFeedServer {
public:
    CFeedServer() {
        auto& s = m_server.Server();
        auto xml = [](const std::string& body, int status = 200) {
            return [body, status](const httplib::Request&, httplib::Response& res) {
                res.status = status;
                res.set_content(body, "text/xml");
            };
        };
        s.Get("/feed.xml", xml(kFeed));
        s.Get("/404", xml(kFeed, 404));
        s.Get("/500", xml(kFeed, 500));
        s.Get("/empty", xml(""));
        s.Get("/html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><head><title>登录</title></head><body>Please log in</body>"
                            "</html>",
                            "text/html");
        });
        s.Get("/huge", xml(kFeed + std::string(100 * 1024, ' ')));
        s.Get("/garbage", [](const httplib::Request&, httplib::Response& res) {
            std::string bytes = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
            for (int i = 0; i < 4096; ++i)
                bytes.push_back(static_cast<char>(0x80 + (i * 37) % 128));
            res.set_content(bytes, "text/xml");
        });
        s.Get("/loop", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/loop", 302);
        });
        s.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/feed.xml", 301);
        });
        s.Get("/etag", [this](const httplib::Request& req, httplib::Response& res) {
            if (req.get_header_value("If-None-Match") == "\"abc\"") {
                res.status = 304;
                return;
            }
            res.set_header("ETag", "\"abc\"");
            res.set_header("Last-Modified", "Tue, 07 Mar 2006 09:05:00 GMT");
            res.set_content(kFeed, "application/rss+xml");
        });
        s.Get("/text", [](const httplib::Request&, httplib::Response& res) {
            std::string body = "line one\r\nline two\n";
            body.push_back('\0');
            body += "after a NUL";
            res.set_content(body, "text/plain");
        });
        m_server.Start();
    }
    std::string Url(const std::string& path) const { return m_server.Url(path); }

private:
    CHttpServer m_server;
};

} // namespace

TEST(FeedFetcher, FetchesAndParsesFeedsOverHttp) {
    CFeedServer server;
    CFeedFetcher fetcher;
    fetcher.SetLimits(TestLimits());
    std::vector<FeedItem> items;
    ASSERT_TRUE(fetcher.FetchFeedItems(server.Url("/feed.xml"), items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].title, "第一条");
    EXPECT_EQ(items[0].pubDate, "2006-03-07 09:05:00");
    EXPECT_EQ(fetcher.FetchFeedTitle(server.Url("/feed.xml")), "测试频道");

    // Followed through a redirect, with the address it ended at.
    items.clear();
    FeedFetchResult moved = fetcher.Fetch(server.Url("/moved"), items);
    EXPECT_EQ(moved.outcome, FeedFetchResult::Outcome::kItems);
    EXPECT_EQ(moved.finalUrl, server.Url("/feed.xml"));
    EXPECT_EQ(items.size(), 2u);

    // The operations by their plain names.
    items.clear();
    EXPECT_TRUE(FetchFeedItems(server.Url("/feed.xml"), items));
    EXPECT_EQ(FetchFeedTitle(server.Url("/feed.xml")), "测试频道");
}

TEST(FeedFetcher, BadAnswersGiveFalseAndAnEmptyTitle) {
    CFeedServer server;
    CSilentServer silent;
    CRawServer cut([](const std::string&) {
        return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 5000\r\n\r\n" +
               kFeed.substr(0, 300);
    });
    using Outcome = FeedFetchResult::Outcome;
    const std::string closed = "127.0.0.1:" + std::to_string(loopback::ClosedPort());
    // Each failure comes with a short reason a person can act on.
    const std::vector<std::tuple<std::string, Outcome, std::string>> cases = {
        {server.Url("/404"), Outcome::kHttpError, "HTTP 404 (页面不存在)"},
        {server.Url("/500"), Outcome::kHttpError, "HTTP 500 (服务器内部错误)"},
        {server.Url("/empty"), Outcome::kNoItems, "服务器的回答是空的"},
        {server.Url("/html"), Outcome::kNoItems, "不是 feed (text/html)"},
        {server.Url("/garbage"), Outcome::kNoItems, "不是 feed (text/xml)"},
        {server.Url("/huge"), Outcome::kNetworkError, "回答超过 64 KB"},
        {server.Url("/loop"), Outcome::kNetworkError, "重定向次数太多"},
        {silent.Url("/feed"), Outcome::kNetworkError, "服务器 0.5 秒内没有回答"},
        {cut.Url("/feed"), Outcome::kNetworkError, ""},
        {"http://" + closed + "/", Outcome::kNetworkError, "无法连接到 " + closed},
        {"file:///etc/passwd", Outcome::kNetworkError,
         "不是 http 或 https 地址: file:///etc/passwd"},
    };
    CFeedFetcher fetcher;
    fetcher.SetLimits(TestLimits());
    for (const auto& [url, outcome, reason] : cases) {
        std::vector<FeedItem> items;
        FeedFetchResult result = fetcher.Fetch(url, items);
        EXPECT_EQ(result.outcome, outcome) << url << ": " << result.errorText;
        if (!reason.empty())
            EXPECT_EQ(result.errorText, reason) << url;
        else
            EXPECT_EQ(result.errorText.rfind("传输失败: ", 0), 0u) << result.errorText;
        EXPECT_TRUE(items.empty()) << url;
        EXPECT_FALSE(fetcher.FetchFeedItems(url, items)) << url;
        EXPECT_EQ(fetcher.FetchFeedTitle(url), "") << url;
    }
}

TEST(FeedFetcher, ConditionalFetchKeepsTheValidators) {
    CFeedServer server;
    CFeedFetcher fetcher;
    fetcher.SetLimits(TestLimits());
    std::vector<FeedItem> items;
    FeedFetchResult first = fetcher.Fetch(server.Url("/etag"), items);
    ASSERT_EQ(first.outcome, FeedFetchResult::Outcome::kItems);
    EXPECT_EQ(first.validators.etag, "\"abc\"");
    EXPECT_EQ(first.validators.lastModified, "Tue, 07 Mar 2006 09:05:00 GMT");

    items.clear();
    FeedFetchResult second = fetcher.Fetch(server.Url("/etag"), items, first.validators);
    EXPECT_EQ(second.outcome, FeedFetchResult::Outcome::kNotModified);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(second.validators.etag, "\"abc\"");
    EXPECT_EQ(second.validators.lastModified, first.validators.lastModified);
}

TEST(FeedFetcher, ExitFlagAndCancelTokenStopAFetch) {
    CSilentServer silent;
    CFeedServer server;
    CFeedFetcher fetcher;
    HttpLimits limits = TestLimits();
    limits.totalTimeoutMs = 60'000; // only the abort can end it in time
    fetcher.SetLimits(limits);

    CCancelToken token;
    fetcher.SetCancelToken(&token);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        token.Cancel();
    });
    std::vector<FeedItem> items;
    EXPECT_EQ(fetcher.Fetch(silent.Url("/feed"), items).outcome,
              FeedFetchResult::Outcome::kCancelled);
    canceller.join();

    CFeedFetcher other;
    other.SetLimits(limits);
    std::thread exiter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        g_bAppExiting = 1;
    });
    EXPECT_FALSE(other.FetchFeedItems(silent.Url("/feed"), items));
    exiter.join();
    // With the flag up, even a good feed yields nothing.
    EXPECT_FALSE(other.FetchFeedItems(server.Url("/feed.xml"), items));
    EXPECT_EQ(other.FetchFeedTitle(server.Url("/feed.xml")), "");
    g_bAppExiting = 0;
    EXPECT_TRUE(items.empty());
}

TEST(FeedFetcher, DownloadWritesTheWholeAnswerIntoTemp) {
    CTempHome home({.seed = false});
    const CAppContext context = home.Context();
    CFeedServer server;
    const std::string url = server.Url("/text");
    ASSERT_TRUE(DownloadUrlToTempFile(context, url));
    std::string contents;
    ASSERT_TRUE(CFileUtil::ReadFile(MakeTempFilePath(context, url), contents));
    std::string expected = "line one\r\nline two\n";
    expected.push_back('\0');
    expected += "after a NUL";
    EXPECT_EQ(contents, expected);

    const std::string missing = server.Url("/404");
    EXPECT_FALSE(DownloadUrlToTempFile(context, missing));
    EXPECT_FALSE(CFileUtil::Exists(MakeTempFilePath(context, missing)));
}

TEST(FeedFetcher, ScratchFileNames) {
    // Names only: nothing is written.
    const CAppContext context("/srv/quill");
    const std::string temp = "/srv/quill/Temp/";
    EXPECT_EQ(MakeTempFilePath(context, "HTTP://Host/News/Feed.RSS?x=1"),
              temp + "host_news_feed.rss_x=1.xml");
    EXPECT_EQ(MakeTempFilePath(context, "http://example.com/rss.xml"),
              temp + "example.com_rss.xml");
    EXPECT_EQ(MakeTempFilePath(context, "https://a.b/c:d*e<f>g|h%20\\i"),
              temp + "https___a.b_c_d_e_f_g_h_20_i.xml");

    // Too long for a file name: cut, and still told apart.
    std::string base = "http://example.com/" + std::string(400, 'p');
    std::string one = MakeTempFilePath(context, base + "1");
    std::string two = MakeTempFilePath(context, base + "2");
    EXPECT_NE(one, two);
    EXPECT_LE(one.size() - temp.size(), 255u);
    EXPECT_EQ(one.substr(one.size() - 4), ".xml");
}
