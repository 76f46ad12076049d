// The feed commands of quillmark-cli, run as a user runs them, against a feed server on
// 127.0.0.1.
#include "platform/LoopbackServer.h"
#include "support/CliRunner.h"

#include <algorithm>
#include <atomic>
#include <sstream>

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class FeedCommandsTest : public CCliTest {
protected:
    void SetUp() override {
        m_server.Server().Get("/news.xml", [this](const httplib::Request&, httplib::Response& r) {
            if (m_gone) {
                r.status = 404;
                return;
            }
            std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel>"
                              "<title>每日新闻</title>";
            for (int i = 0; i < m_items; ++i)
                xml += "<item><title>新闻 " + std::to_string(i) + "</title><link>http://n/" +
                       std::to_string(i) + "</link><pubDate>2026-12-0" + std::to_string(1 + i % 9) +
                       "T08:00:00Z</pubDate>" +
                       (i == 3 ? "<enclosure url=\"http://n/3.mp3\" type=\"audio/mpeg\" "
                                 "length=\"2048\"/>"
                               : "") +
                       "</item>";
            r.set_content(xml + "</channel></rss>", "application/rss+xml");
        });
        m_server.Server().Get("/broken.xml", [](const httplib::Request&, httplib::Response& r) {
            r.status = 500;
            r.set_content("oops", "text/plain");
        });
        m_server.Server().Get("/login", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><body>请先登录</body></html>", "text/html; charset=utf-8");
        });
        m_server.Start();
    }
    std::string Url(const std::string& path = "/news.xml") {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + path;
    }

    loopback::CHttpServer m_server;
    int m_items = 3;
    std::atomic<bool> m_gone{false};
};

} // namespace

TEST_F(FeedCommandsTest, SubscribeReceiveReadAndRemove) {
    ASSERT_EQ(Run({"channel", "mkdir", "资讯"}).exitCode, 0);
    CliResult added = Run({"channel", "add", Url(), "--parent", "资讯"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.out, "资讯/每日新闻\n") << "the title is probed from the feed";

    CliResult received = Run({"receive", "--all"});
    ASSERT_EQ(received.exitCode, 0) << received.err;
    EXPECT_EQ(received.out, "资讯/每日新闻\tok\t3\t3\n");
    EXPECT_EQ(received.err, "") << "piped, no progress line";
    m_items = 4;
    EXPECT_EQ(Run({"receive", "资讯"}).out, "资讯/每日新闻\tok\t1\t4\n");


    CliResult list = Run({"channel", "list", "--json"});
    EXPECT_NE(list.out.find("\"path\": \"资讯/每日新闻\", \"title\": \"每日新闻\", \"directory\": "
                            "false, \"xmlUrl\": \"" +
                            Url() + "\""),
              std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("\"unread\": 4"), std::string::npos);

    CliResult items = Run({"items", "资讯/每日新闻", "--filter", "unread", "--json"});
    ASSERT_EQ(items.exitCode, 0) << items.err;
    EXPECT_EQ(items.out.find("{\"total\": 4, \"page\": 1, \"pages\": 1, \"items\": [{\"id\": 4, "
                             "\"title\": \"新闻 3\""),
              0u)
        << items.out;
    ASSERT_EQ(Run({"item", "read", "4"}).exitCode, 0);
    CliResult shown = Run({"item", "show", "4"});
    EXPECT_NE(shown.out.find("状态: 已读\n附件: http://n/3.mp3 (audio/mpeg, 2 KB)\n"),
              std::string::npos)
        << shown.out;
    EXPECT_NE(Run({"item", "show", "4", "--json"})
                  .out.find("\"enclosures\": [{\"url\": \"http://n/3.mp3\", \"type\": "
                            "\"audio/mpeg\", \"length\": 2048}]"),
              std::string::npos);
    EXPECT_NE(Run({"item", "show", "4", "--html"}).out.find("新闻 3"), std::string::npos);
    ASSERT_EQ(Run({"mark-read", "资讯"}).exitCode, 0);
    EXPECT_NE(
        Run({"items", "资讯/每日新闻", "--filter", "unread", "--json"}).out.find("\"total\": 0"),
        std::string::npos);

    ASSERT_EQ(Run({"channel", "rm", "资讯"}).exitCode, 0);
    EXPECT_EQ(Run({"channel", "list", "--json"}).out, "[]\n");
    EXPECT_EQ(Run({"item", "show", "4"}).exitCode, 1) << "the channel's items went with it";
}


TEST_F(FeedCommandsTest, OnATerminalAReceiveShowsItsProgressAndSummary) {
    ASSERT_EQ(Run({"channel", "add", Url()}).exitCode, 0);
    // On a terminal the error output carries the progress line, written over in place, and
    // keeps the summary (script(1) gives the program a terminal; only that output is kept).
    const std::string command = std::string(QUILL_CLI_PATH) + " --home '" + m_dir +
                                "/q' receive --all 2>&1 >/dev/null";
    const std::string transcript = m_dir + "/terminal";
    ASSERT_EQ(std::system(("script -qec \"" + command + "\" '" + transcript + "' >/dev/null")
                              .c_str()),
              0);
    const std::string terminal = ReadAll(transcript);
    EXPECT_NE(terminal.find("\r\x1b[K正在收取 1/1 · 3 个新条目"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("收取完成: 1 个频道 · 3 个新条目\r\n"), std::string::npos) << terminal;
}

TEST_F(FeedCommandsTest, BadInputGetsTheProgramsMessages) {
    CliResult empty = Run({"channel", "add", "http://127.0.0.1:1/none.xml", "--title", "a<b"});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.err, "您输入了无效的字符!\n");
    CliResult untitled = Run({"channel", "add", "http://127.0.0.1:1/none.xml"});
    EXPECT_EQ(untitled.exitCode, 1);
    EXPECT_EQ(untitled.err, "无法获取标题!\n请输入频道名称\n");
    EXPECT_EQ(Run({"items", "没有这个频道"}).err, "找不到频道: 没有这个频道\n");
    ASSERT_EQ(Run({"channel", "add", Url(), "--title", "甲"}).exitCode, 0);
    CliResult storage = Run({"channel", "set", "甲", "--storage", "2", "9"});
    EXPECT_EQ(storage.exitCode, 1);
    EXPECT_EQ(storage.err, "不是合理的存储数量!\n");
    EXPECT_EQ(Run({"channel", "set", "甲", "--storage", "2", "500", "--rank", "5"}).exitCode, 0);
    EXPECT_EQ(Run({"items", "甲", "--filter", "old"}).exitCode, 1);
    CliResult failed = Run({"channel", "add", "http://127.0.0.1:1/none.xml", "--title", "坏"});
    ASSERT_EQ(failed.exitCode, 0);
    CliResult receive = Run({"receive", "--all"});
    EXPECT_EQ(receive.exitCode, 1) << "a channel failed";
    EXPECT_NE(receive.out.find("坏\tfailed"), std::string::npos) << receive.out;
}

// A web page's address subscribes to the feed the page announces; a page with several says
// which, a page with none falls back on the usual places, a page with nothing says so.
TEST_F(FeedCommandsTest, ASitesAddressLeadsToItsFeed) {
    loopback::CHttpServer site;
    const auto page = [](const std::string& head) {
        return [head](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><head>" + head + "</head><body>首页</body></html>",
                          "text/html; charset=utf-8");
        };
    };
    const std::string feedLink = "<link rel=\"alternate\" type=\"application/rss+xml\" ";
    site.Server().Get("/one/", page(feedLink + "title=\"文章\" href=\"../news.xml\">"));
    site.Server().Get("/two/", page(feedLink + "title=\"文章\" href=\"/news.xml\">" +
                                    "<link rel=\"alternate\" type=\"application/atom+xml\" "
                                    "title=\"评论\" href=\"comments.atom\">" +
                                    "<link rel=\"stylesheet\" href=\"s.css\">"));
    site.Server().Get("/plain/", page("<title>没有订阅</title>"));
    site.Server().Get("/news.xml", [](const httplib::Request&, httplib::Response& r) {
        r.set_content("<rss version=\"2.0\"><channel><title>站点新闻</title></channel></rss>",
                      "application/rss+xml");
    });
    std::atomic<bool> usualPlace{false};
    site.Server().Get("/rss.xml", [&](const httplib::Request&, httplib::Response& r) {
        if (!usualPlace) {
            r.status = 404;
            return;
        }
        r.set_content("<rss version=\"2.0\"><channel><title>常用地址</title></channel></rss>",
                      "application/rss+xml");
    });
    site.Start();

    CliResult one = Run({"channel", "add", site.Url("/one/")});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(one.out, "网页提供的订阅: " + site.Url("/news.xml") + "\n文章\n");

    CliResult two = Run({"channel", "add", site.Url("/two/")});
    EXPECT_EQ(two.exitCode, 1);
    EXPECT_EQ(two.err, "这个网页提供多个订阅, 请用其中一个地址订阅:\n  " + site.Url("/news.xml") +
                           "  文章\n  " + site.Url("/two/comments.atom") + "  评论\n");

    // No link on the page: /feed does not answer, /rss.xml neither, ... none does.
    CliResult plain = Run({"channel", "add", site.Url("/plain/")});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_NE(plain.err.find("这个网页没有提供订阅"), std::string::npos) << plain.err;
    // With a feed at one of the usual places, that one is taken.
    usualPlace = true;
    CliResult usual = Run({"channel", "add", site.Url("/plain/")});
    ASSERT_EQ(usual.exitCode, 0) << usual.err;
    EXPECT_EQ(usual.out, "网页提供的订阅: " + site.Url("/rss.xml") + "\n常用地址\n");
}

TEST_F(FeedCommandsTest, AFailedChannelSaysWhyAndKeepsItsUnreadCount) {
    loopback::CSilentServer silent;
    const std::string closed = "127.0.0.1:" + std::to_string(loopback::ClosedPort());
    ASSERT_EQ(Run({"channel", "add", Url(), "--title", "新闻"}).exitCode, 0);
    ASSERT_EQ(Run({"receive", "新闻"}).out, "新闻\tok\t3\t3\n");
    m_gone = true; // the feed moves away: its stored items stay, unread
    for (const auto& [title, url] : std::vector<std::pair<std::string, std::string>>{
             {"坏了", Url("/broken.xml")},
             {"网页", Url("/login")},
             {"沉默", silent.Url("/feed.xml")},
             {"关门", "http://" + closed + "/feed.xml"}})
        ASSERT_EQ(Run({"channel", "add", url, "--title", title}).exitCode, 0);

    CliResult received = Run({"receive", "--all", "--timeout", "1"});
    EXPECT_EQ(received.exitCode, 1);
    std::vector<std::string> lines;
    std::istringstream out(received.out);
    for (std::string line; std::getline(out, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"关门\tfailed: 无法连接到 " + closed + "\t0\t0",
                                               "坏了\tfailed: HTTP 500 (服务器内部错误)\t0\t0",
                                               "新闻\tfailed: HTTP 404 (页面不存在)\t0\t3",
                                               "沉默\tfailed: 服务器 1 秒内没有回答\t0\t0",
                                               "网页\tfailed: 不是 feed (text/html)\t0\t0"}))
        << received.out;

    CliResult one = Run({"receive", "新闻"});
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_EQ(one.out, "新闻\tfailed: HTTP 404 (页面不存在)\t0\t3\n");
    EXPECT_EQ(Run({"receive", "--timeout", "0"}).exitCode, 1);
}

TEST_F(FeedCommandsTest, UnreadableSettingsReceiveWithoutRemovingAnything) {
    m_items = 6;
    ASSERT_EQ(Run({"channel", "add", Url(), "--title", "新闻"}).exitCode, 0);
    ASSERT_EQ(Run({"receive", "--all"}).out, "新闻\tok\t6\t6\n");
    const std::string settings = m_dir + "/q/config/appConfig.xml";
    const std::string broken = ReadAll(settings).substr(0, 300);
    WriteAll(settings, broken);
    m_items = 2; // the shipped rule would keep only what the feed lists now
    CliResult received = Run({"receive", "--all"});
    EXPECT_EQ(received.exitCode, 1) << "the user must repair the settings";
    EXPECT_EQ(received.out, "新闻\tok\t0\t6\n");
    const std::string once = "错误 7000: 无法载入程序配置文件";
    const size_t at = received.err.find(once);
    EXPECT_NE(at, std::string::npos) << received.err;
    EXPECT_EQ(received.err.find(once, at + 1), std::string::npos) << "reported once";
    EXPECT_NE(received.err.find("本次收取不删除任何文章"), std::string::npos) << received.err;
    EXPECT_EQ(ReadAll(settings), broken) << "the damaged file is not overwritten";
}

TEST_F(FeedCommandsTest, RulesAreAddedListedTriedAndRemoved) {
    ASSERT_EQ(Run({"channel", "add", Url()}).exitCode, 0);
    ASSERT_EQ(Run({"receive", "--all"}).exitCode, 0);
    CliResult bad = Run({"rules", "add", "--regex", "新闻 (", "--read"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("正则表达式无效: "), std::string::npos) << bad.err;
    EXPECT_EQ(Run({"rules", "add", "--contains", "新闻"}).err,
              "需要 --read、--delete、--copy 或 --important 之一\n");
    EXPECT_EQ(Run({"rules", "add", "--contains", "新闻 3", "--scope", "每日新闻", "--delete"}).out,
              "1\n");
    EXPECT_EQ(Run({"rules", "add", "--regex", "^新闻 [12]$", "--read"}).out, "2\n");
    EXPECT_EQ(Run({"rules", "list"}).out, "1\t每日新闻\ttitle contains \"新闻 3\"\tdelete\n"
                                          "2\t所有频道\ttitle regex \"^新闻 [12]$\"\tread\n");
    EXPECT_EQ(Run({"rules", "test", "2"}).out, "2\n") << "stored items are only counted";
    EXPECT_EQ(Run({"rules", "add", "--contains", "新闻 4", "--important"}).out, "3\n");
    m_items = 5;
    EXPECT_EQ(Run({"receive", "--all"}).out, "每日新闻\tok\t1\t4\n") << "新闻 3 was dropped";
    const std::string items = Run({"items", "每日新闻", "--json"}).out;
    // One item (新闻 4) is marked.
    EXPECT_NE(items.find("\"important\": 1"), std::string::npos) << items;
    EXPECT_EQ(items.find("\"important\": 1"), items.rfind("\"important\": 1")) << items;
    ASSERT_EQ(Run({"rules", "rm", "1"}).exitCode, 0);
    EXPECT_EQ(Run({"rules", "rm", "1"}).err, "没有编号为 1 的规则\n");
}
