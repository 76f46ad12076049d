// The feed commands of quillmark-cli, run as a user runs them, against a feed server on
// 127.0.0.1.
#include "platform/LoopbackServer.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>

namespace {

class FeedCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_server.Server().Get("/news.xml", [this](const httplib::Request&, httplib::Response& r) {
            std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel>"
                              "<title>每日新闻</title>";
            for (int i = 0; i < m_items; ++i)
                xml += "<item><title>新闻 " + std::to_string(i) + "</title><link>http://n/" +
                       std::to_string(i) + "</link><pubDate>2026-12-0" + std::to_string(1 + i % 9) +
                       "T08:00:00Z</pubDate></item>";
            r.set_content(xml + "</channel></rss>", "application/rss+xml");
        });
        m_server.Start();
    }
    void TearDown() override { RemoveTree(m_dir); }
    CliResult Run(const std::vector<std::string>& args) { return RunCli(m_dir, args); }
    std::string Url() {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + "/news.xml";
    }

    loopback::CHttpServer m_server;
    std::string m_dir = MakeTempDir();
    int m_items = 3;
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
    EXPECT_NE(Run({"item", "show", "4"}).out.find("状态: 已读"), std::string::npos);
    EXPECT_NE(Run({"item", "show", "4", "--html"}).out.find("新闻 3"), std::string::npos);
    ASSERT_EQ(Run({"mark-read", "资讯"}).exitCode, 0);
    EXPECT_NE(
        Run({"items", "资讯/每日新闻", "--filter", "unread", "--json"}).out.find("\"total\": 0"),
        std::string::npos);

    ASSERT_EQ(Run({"channel", "rm", "资讯"}).exitCode, 0);
    EXPECT_EQ(Run({"channel", "list", "--json"}).out, "[]\n");
    EXPECT_EQ(Run({"item", "show", "4"}).exitCode, 1) << "the channel's items went with it";
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
