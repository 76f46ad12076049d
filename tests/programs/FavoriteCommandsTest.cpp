// The favorites and OPML commands of quillmark-cli, run as a user runs them.
#include "platform/LoopbackServer.h"
#include "support/CliRunner.h"

#include <atomic>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace {

class FavoriteCommandsTest : public CCliTest {
protected:
    void SetUp() override {
        m_server.Server().Get("/list.opml", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(ReadTestData("opml/newsboat-example.opml"), "text/x-opml");
        });
        m_server.Server().Get("/news.xml", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<rss><channel><title>新闻</title><item><title>第一条</title>"
                          "<link>http://n.example/1</link><author>记者</author>"
                          "<description>正文</description></item></channel></rss>",
                          "application/rss+xml");
        });
        // Web pages where feeds belong: one announcing a feed, one announcing two, one none.
        m_server.Server().Get(
            "/site/(one|two|none)/", [](const httplib::Request& req, httplib::Response& r) {
                const std::string name = req.matches[1];
                std::string links;
                if (name != "none")
                    links = "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"/" + name +
                            ".xml\">";
                if (name == "two")
                    links += "<link rel=\"alternate\" type=\"application/atom+xml\" "
                             "href=\"/two-comments.xml\">";
                r.set_content("<html><head>" + links + "</head><body></body></html>", "text/html");
            });
        m_server.Server().set_logger(
            [this](const httplib::Request&, const httplib::Response&) { ++m_requests; });
        m_server.Start();
    }
    std::string Url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + path;
    }

    loopback::CHttpServer m_server;
    std::atomic<int> m_requests{0};
};

} // namespace

TEST_F(FavoriteCommandsTest, BoxesKeepItemsAndTravelAsRssFiles) {
    ASSERT_EQ(Run({"channel", "add", Url("/news.xml"), "--title", "新闻"}).exitCode, 0);
    ASSERT_EQ(Run({"receive", "新闻"}).exitCode, 0);
    auto items = nlohmann::json::parse(Run({"items", "新闻", "--json"}).out);
    const std::string itemId = std::to_string(items["items"][0]["id"].get<int>());

    EXPECT_EQ(Run({"fav", "mkdir", "收藏夹"}).exitCode, 0);
    CliResult box = Run({"fav", "mkbox", "要闻", "--parent", "收藏夹"});
    ASSERT_EQ(box.exitCode, 0) << box.err;
    EXPECT_EQ(box.out.rfind("收藏夹/要闻\t", 0), 0u);
    ASSERT_EQ(Run({"fav", "add", itemId, "--box", "收藏夹/要闻"}).exitCode, 0);

    CliResult missing = Run({"fav", "add", "99999", "--box", "收藏夹/要闻"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("添加失败"), std::string::npos);
    EXPECT_EQ(Run({"fav", "add", itemId, "--box", "收藏夹"}).exitCode, 1) << "a folder is no box";
    EXPECT_EQ(Run({"fav", "mkbox", "a<b"}).err, "您输入了无效的字符!\n");

    auto list = nlohmann::json::parse(Run({"fav", "list", "--json"}).out);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["box"], false);
    EXPECT_EQ(list[0]["children"][0]["path"], "收藏夹/要闻");
    EXPECT_EQ(list[0]["children"][0]["items"], 1);

    const std::string file = m_dir + "/要闻.xml";
    CliResult exported = Run({"fav", "export", "收藏夹/要闻", file});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out, "导出Feed成功!\n");
    CliResult imported = Run({"fav", "import", file});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(imported.out, "要闻\t1\n");
    EXPECT_EQ(Run({"fav", "list"}).out, "收藏夹/\n  要闻  [1]\n要闻  [1]\n");

    WriteAll(m_dir + "/bad.xml", "<rss><channel>");
    CliResult bad = Run({"fav", "import", m_dir + "/bad.xml"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.err.rfind("导入失败", 0), 0u);
    EXPECT_EQ(Run({"fav", "list"}).out, "收藏夹/\n  要闻  [1]\n要闻  [1]\n");
}

TEST_F(FavoriteCommandsTest, OpmlImportFromFileAndAddressThenExportRoundTrips) {
    ASSERT_EQ(Run({"channel", "mkdir", "导入"}).exitCode, 0);
    CliResult first = Run({"opml", "import", TestDataPath("opml/liferea-feedlist_en.opml"),
                           "--into", "导入", "--no-discover"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.out.find("添加\tExample Feeds/News/Slashdot\t"), std::string::npos);
    EXPECT_NE(first.out.find("添加 15 个, 跳过 0 个"), std::string::npos);
    CliResult again = Run({"opml", "import", TestDataPath("opml/liferea-feedlist_en.opml")});
    EXPECT_NE(again.out.find("跳过\tExample Feeds/News/Slashdot\t"), std::string::npos);
    EXPECT_NE(again.out.find("添加 0 个, 跳过 15 个"), std::string::npos);

    CliResult remote = Run({"opml", "import", Url("/list.opml"), "--json", "--no-discover"});
    ASSERT_EQ(remote.exitCode, 0) << remote.err;
    auto result = nlohmann::json::parse(remote.out);
    EXPECT_EQ(result["added"].size(), 7u);

    EXPECT_NE(Run({"opml", "import", Url("/gone.opml")}).err.find("无效的链接!"),
              std::string::npos);
    WriteAll(m_dir + "/not.opml", "<rss/>");
    CliResult notOpml = Run({"opml", "import", m_dir + "/not.opml"});
    EXPECT_EQ(notOpml.exitCode, 1);
    EXPECT_EQ(notOpml.err.rfind("无法识别的OPML文件格式", 0), 0u);
    EXPECT_EQ(Run({"opml", "import", m_dir + "/not.opml", "--into", "没有"}).exitCode, 1);

    // Everything out, into a fresh program directory, and the same tree comes back.
    const std::string all = m_dir + "/all.opml";
    CliResult exported = Run({"opml", "export", all});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out, "导出成功!\n");
    const std::string before = Run({"channel", "list"}).out;
    std::string other = MakeTempDir();
    ASSERT_EQ(RunCli(other, {"opml", "import", all, "--no-discover"}).exitCode, 0);
    EXPECT_EQ(RunCli(other, {"channel", "list"}).out, before);
    RemoveTree(other);

    CliResult one =
        Run({"opml", "export", m_dir + "/one.opml", "--path", "导入/Example Feeds/News"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(ReadAll(m_dir + "/one.opml").rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?>", 0),
              0u);
    CliResult failed = Run({"opml", "export", m_dir + "/no/such/dir.opml"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.err.rfind("导出失败!", 0), 0u);
}

TEST_F(FavoriteCommandsTest, OpmlImportTakesTheFeedsThatWebPagesAnnounce) {
    const std::string list = m_dir + "/sites.opml";
    WriteAll(list, "<opml version=\"2.0\"><body><outline text=\"站点\">"
                   "<outline text=\"一\" xmlUrl=\"" +
                       Url("/site/one/") +
                       "\"/>"
                       "<outline text=\"二\" xmlUrl=\"" +
                       Url("/site/two/") +
                       "\"/>"
                       "<outline text=\"无\" xmlUrl=\"" +
                       Url("/site/none/") +
                       "\"/></outline>"
                       "<outline text=\"新闻\" xmlUrl=\"" +
                       Url("/news.xml") +
                       "\"/>"
                       "<outline text=\"空\"><outline text=\"也无\" xmlUrl=\"" +
                       Url("/site/none/") + "\"/></outline></body></opml>");
    m_requests = 0;
    CliResult imported = Run({"opml", "import", list});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_NE(imported.out.find("网页\t站点/一\t" + Url("/site/one/") +
                                "\t网页提供的订阅: " + Url("/one.xml") + "\n"),
              std::string::npos)
        << imported.out;
    // Of several, the first, and the others are named.
    EXPECT_NE(imported.out.find("网页\t站点/二\t" + Url("/site/two/") +
                                "\t网页提供 2 个订阅, 取第一个: " + Url("/two.xml") +
                                "; 其余: " + Url("/two-comments.xml") + "\n"),
              std::string::npos)
        << imported.out;
    EXPECT_NE(imported.out.find("添加\t站点/二\t" + Url("/two.xml")), std::string::npos);
    EXPECT_NE(imported.out.find("添加\t新闻\t" + Url("/news.xml")), std::string::npos);
    EXPECT_NE(imported.out.find("跳过\t站点/无\t" + Url("/site/none/") + "\t这个网页没有提供订阅"),
              std::string::npos)
        << imported.out;
    EXPECT_NE(imported.out.find("添加 3 个, 跳过 2 个"), std::string::npos) << imported.out;
    EXPECT_EQ(Run({"channel", "list"}).out.find("空"), std::string::npos)
        << "a folder of pages without feeds is not made";
    // One request per distinct address, six more for the page that announces nothing.
    EXPECT_LE(m_requests.load(), 4 + 6);

    // Without the look the addresses are taken as given, and no request is made.
    m_requests = 0;
    CliResult given = Run({"opml", "import", list, "--no-discover"});
    EXPECT_NE(given.out.find("添加\t站点/无\t" + Url("/site/none/")), std::string::npos);
    EXPECT_EQ(m_requests.load(), 0);
}
