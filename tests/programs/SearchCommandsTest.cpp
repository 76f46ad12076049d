// search and clean of quillmark-cli, run as a user runs them: feeds and a news search service on
// 127.0.0.1 of the test's own.
#include "platform/LoopbackServer.h"
#include "platform/text/TextCodec.h"
#include "storage/FeedDatabase.h"
#include "support/CliRunner.h"
#include "support/StoreSupport.h"

#include <ctime>
#include <mutex>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace {

std::string RssDate(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

std::string Feed(const std::string& title, const std::vector<std::array<std::string, 4>>& items) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                      "<title>" +
                      title + "</title>";
    for (const auto& [link, itemTitle, description, date] : items)
        xml += "<item><title>" + itemTitle + "</title><link>" + link + "</link><description>" +
               description + "</description><pubDate>" + date + "</pubDate></item>";
    return xml + "</channel></rss>";
}

class SearchCommandsTest : public CCliTest {
protected:
    void SetUp() override {
        const std::string old = "Mon, 01 Jan 2018 08:00:00 GMT";
        const std::string recent = RssDate(std::time(nullptr) - 86400);
        m_server.Server().Get("/a.xml", [=](const httplib::Request&, httplib::Response& r) {
            r.set_content(Feed("甲", {{{"http://a/1", "Quillmark 发布", "新版本", old}},
                                      {{"http://a/2", "天气", "written with QUILLMARK", recent}},
                                      {{"http://a/3", "妙笔生花", "旧闻", old}}}),
                          "application/rss+xml");
        });
        m_server.Server().Get("/b.xml", [=](const httplib::Request&, httplib::Response& r) {
            r.set_content(Feed("乙", {{{"http://b/1", "quillmark notes", "", recent}},
                                      {{"http://b/2", "体育", "妙笔", old}}}),
                          "application/rss+xml");
        });
        m_server.Server().Get("/ns", [this](const httplib::Request& request, httplib::Response& r) {
            std::lock_guard lock(m_lock);
            m_queries.push_back(request.target);
            if (m_searchFails) {
                r.status = 503;
                return;
            }
            std::vector<std::array<std::string, 4>> items;
            for (int i = 0; i < m_results; ++i)
                items.push_back(
                    {"http://news/" + std::to_string(m_queries.size()) + "/" + std::to_string(i),
                     "结果 " + std::to_string(i), "", "Mon, 01 Jan 2018 08:00:00 GMT"});
            r.set_content(Feed("新闻搜索", items), "application/rss+xml");
        });
        m_server.Start();
        ASSERT_EQ(Run({"channel", "add", Url("/a.xml"), "--title", "甲"}).exitCode, 0);
        ASSERT_EQ(Run({"channel", "mkdir", "目录"}).exitCode, 0);
        ASSERT_EQ(
            Run({"channel", "add", Url("/b.xml"), "--title", "乙", "--parent", "目录"}).exitCode,
            0);
        // One after the other, so that the ids (and the order of hits) are known.
        for (const char* path : {"甲", "目录"}) {
            const CliResult received = Run({"receive", path});
            ASSERT_EQ(received.exitCode, 0) << received.err << received.out;
        }
    }
    std::string Url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + path;
    }
    std::vector<std::string> Titles(const CliResult& result) {
        std::vector<std::string> titles;
        const nlohmann::json doc = nlohmann::json::parse(result.out);
        EXPECT_EQ(doc["total"].get<size_t>(), doc["items"].size());
        for (const auto& item : doc["items"])
            titles.push_back(item["title"].get<std::string>() + "@" +
                             item["channel"].get<std::string>());
        return titles;
    }
    // The on-line results kept in the store.
    std::vector<std::string> StoredWebLinks() {
        CFeedDatabase store(m_dir + "/q/Storage/rss.db");
        EXPECT_TRUE(Done(store.OpenStore()));
        std::vector<std::string> links;
        for (CSqlQuery rows = store.Db().ExecuteQuery(
                 "SELECT item_link FROM rsstemp_data WHERE item_feedid = 0 ORDER BY item_id;");
             !rows.IsEnd(); rows.Next())
            links.push_back(rows.GetText(0));
        return links;
    }

    loopback::CHttpServer m_server;
    std::mutex m_lock;
    std::vector<std::string> m_queries;
    int m_results = 2;
    bool m_searchFails = false;
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(SearchCommandsTest, SearchesAllChannelsOrOneBranchInTitlesOrAlsoInDescriptions) {
    CliResult all = Run({"search", "QuillMark", "--json"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(Titles(all), (Strings{"quillmark notes@目录/乙", "Quillmark 发布@甲", "天气@甲"}));
    EXPECT_EQ(Titles(Run({"search", "quillmark", "--all", "--title-only", "--json"})),
              (Strings{"quillmark notes@目录/乙", "Quillmark 发布@甲"}));
    EXPECT_EQ(Titles(Run({"search", "妙笔", "--in", "目录", "--json"})), Strings{"体育@目录/乙"});
    EXPECT_EQ(Titles(Run({"search", "妙笔", "--in", "目录", "--title-only", "--json"})), Strings{});

    CliResult text = Run({"search", "妙笔生", "--in", "甲"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out.substr(0, text.out.find('\n')),
              "有 1 项符合关键字 \"妙笔生\" 的结果, 在 \"甲\" 中");
    EXPECT_NE(text.out.find("\t甲\t妙笔生花\n"), std::string::npos) << text.out;
    EXPECT_EQ(Run({"search", "没有的词"}).out, "没有符合条件的搜索结果!\n");
    EXPECT_EQ(Run({"search", "quillmark", "--all"})
                  .out.find("有 3 项符合关键字 \"quillmark\" 的结果, 在全部频道中\n"),
              0u);
}

TEST_F(SearchCommandsTest, RefusesWhatItCannotSearch) {
    const auto refused = [this](const Strings& args, const std::string& reason) {
        const CliResult result = Run(args);
        EXPECT_EQ(result.exitCode, 1) << args[1];
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
    };
    refused({"search", ""}, "请输入要搜索的关键字");
    refused({"search", "  "}, "请输入要搜索的关键字");
    refused({"search", "a\x01b"}, "关键字含有无效的字符");
    refused({"search", "x", "--in", "丙"}, "找不到频道: 丙");
    refused({"search", "x", "--in", "甲", "--all"}, "只能选一个");
    refused({"search", "x", "--web", "--count", "500"}, "--count 需在 1~100 之间");
    refused({"search", "x", "--count", "10"}, "--count 只用于 --web");
    refused({"clean", "甲", "--days", "366"}, "请输入 0 ~ 365 间的数字");
    refused({"clean", "甲", "--days", "-1"}, "请输入 0 ~ 365 间的数字");
    refused({"clean", "甲"}, "用法: clean");
    refused({"clean", "丙", "--days", "1"}, "找不到频道: 丙");
    ASSERT_EQ(Run({"settings", "set", "rss/newssearchhost", "ftp://x"}).exitCode, 0);
    refused({"search", "x", "--web"}, "http://");
}

TEST_F(SearchCommandsTest, WebSearchAsksTheConfiguredServiceAndReplacesTheLastResults) {
    ASSERT_EQ(Run({"settings", "set", "rss/newssearchhost", Url("") + "/"}).exitCode, 0);
    CliResult first = Run({"search", "妙笔 A", "--web", "--count", "20", "--title-only"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out.substr(0, first.out.find('\n')),
              "有 2 项符合关键字 \"妙笔 A\" 的结果, 在新闻搜索 (127.0.0.1:" +
                  std::to_string(m_server.Port()) + ")中");
    // The keyword goes as GBK bytes, percent-encoded.
    ASSERT_EQ(m_queries.size(), 1u);
    EXPECT_EQ(m_queries[0], "/ns?word=title%3A%C3%EE%B1%CA%20A&ie=gb2312&cl=2&rn=20&ct=0&tn="
                            "newsrss&class=0");
    EXPECT_EQ(StoredWebLinks(), (Strings{"http://news/1/0", "http://news/1/1"}));

    m_results = 1;
    CliResult second = Run({"search", "quill", "--web", "--json"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(Titles(second), Strings{"结果 0@" + Url("")});
    EXPECT_NE(m_queries[1].find("word=quill&"), std::string::npos);
    EXPECT_NE(m_queries[1].find("&rn=10&"), std::string::npos);
    EXPECT_EQ(StoredWebLinks(), Strings{"http://news/2/0"});

    m_searchFails = true;
    CliResult failed = Run({"search", "quill", "--web"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("没有符合条件的搜索结果! 原因: HTTP 503 (服务暂时不可用)"),
              std::string::npos)
        << failed.err;
    EXPECT_TRUE(StoredWebLinks().empty()) << "a new search drops the last results first";
}

TEST_F(SearchCommandsTest, CleansOldReadItemsOrEverything) {
    // Nothing is read yet: the read-only cleaning keeps all.
    CliResult none = Run({"clean", "甲", "目录", "--days", "7", "--read-only"});
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out, "清理完成! 删除了 0 项\n");
    ASSERT_EQ(Run({"mark-read", "甲"}).exitCode, 0);
    EXPECT_EQ(Run({"clean", "甲", "目录", "--days", "7", "--read-only"}).out,
              "清理完成! 删除了 2 项\n");
    EXPECT_EQ(Titles(Run({"search", "quillmark", "--json"})),
              (Strings{"quillmark notes@目录/乙", "天气@甲"}));
    EXPECT_EQ(Run({"clean", "目录", "--days", "7"}).out, "清理完成! 删除了 1 项\n");
    EXPECT_EQ(Run({"clean", "目录", "--days", "0"}).out, "清理完成! 删除了 1 项\n");
    EXPECT_EQ(Titles(Run({"search", "quillmark", "--json"})), Strings{"天气@甲"});
}
