// The weblog commands of quillmark-cli against the WordPress peer.
#include "PeerSupport.h"
#include "support/CliRunner.h"

#include <algorithm>
#include <ctime>
#include <unistd.h>

namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++n;
    return n;
}

class BlogCliPeerTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {
protected:
    void SetUp() override { SKIP_WITHOUT_PEER(); }
    void TearDown() override { RemoveTree(m_dir); }

    CliResult Run(const std::vector<std::string>& args) { return RunCli(m_dir, args); }

    CliResult AddAccount(const std::string& name, const std::string& password) {
        return Run({"account",       "add",
                    "--name",        name,
                    "--description", "WordPress 测试",
                    "--type",        GetParam().first,
                    "--url",         PeerAccount("x", GetParam().first).xmlrpcurl,
                    "--port",        "8080",
                    "--user",        "admin",
                    "--password",    password,
                    "--encoding",    GetParam().second,
                    "--blog-url",    "http://127.0.0.1:8080/"});
    }

    bool Rest() const { return std::string(GetParam().first) == "WordPress REST"; }
    std::string Password() const { return PeerAccount("x", GetParam().first).password; }

    std::string m_dir = MakeTempDir();
};

TEST_P(BlogCliPeerTest, PublishFetchAndDeleteArticles) {
    ASSERT_EQ(AddAccount("博客", Password()).exitCode, 0);
    CliResult test = Run({"account", "test", "博客"});
    ASSERT_EQ(test.exitCode, 0) << test.err;
    EXPECT_EQ(test.out,
              "url=http://127.0.0.1:8080/\nblogid=1\nblogName=Quill 测试博客\ninterface=" +
                  (Rest() ? std::string("WordPress REST\naddress=") + kPeerRestUrl
                          : std::string(GetParam().first) +
                                " (XML-RPC)\naddress=http://127.0.0.1:8080/xmlrpc.php") +
                  "\n");

    // Other test runs may publish to the same server meanwhile: everything is found by the
    // post ids and titles of this run.
    const std::string run = std::to_string(::getpid()) + "-" + std::to_string(std::time(nullptr));
    WriteAll(m_dir + "/body.html", "<p>第一段 & \"引号\"</p>\n<p>第二段 <b>粗体</b></p>");
    const std::vector<std::string> titles = {"命令行文章 \"一\" & <二> " + run,
                                             "命令行文章 'three' " + run};
    std::vector<std::string> postIds;
    for (const std::string& title : titles) {
        CliResult draft = Run({"article", "new", "博客", "--title", title, "--category", "技术",
                               "--tags", "标签" + run, "--content-file", m_dir + "/body.html"});
        ASSERT_EQ(draft.exitCode, 0) << draft.err;
        CliResult publish = Run({"article", "publish", draft.out.substr(0, draft.out.size() - 1)});
        ASSERT_EQ(publish.exitCode, 0) << publish.err;
        ASSERT_GT(publish.out.size(), 1u);
        postIds.push_back(publish.out.substr(0, publish.out.size() - 1));
    }
    EXPECT_EQ(Run({"articles", "博客", "--folder", "3", "--json"}).out, "[]\n");
    CliResult sent = Run({"articles", "博客", "--folder", "2", "--json"});
    for (const std::string& id : postIds)
        EXPECT_NE(sent.out.find("\"guid\": \"" + id + "\""), std::string::npos) << sent.out;

    // Fetching twice replaces the received copies instead of adding more.
    CliResult fetch = Run({"posts", "fetch", "博客", "--count", "20"});
    ASSERT_EQ(fetch.exitCode, 0) << fetch.err;
    EXPECT_GE(std::stoi(fetch.out), 2);
    ASSERT_EQ(Run({"posts", "fetch", "博客", "--count", "20"}).exitCode, 0);
    CliResult received = Run({"articles", "博客", "--folder", "1", "--json"});
    ASSERT_EQ(received.exitCode, 0);
    for (const std::string& id : postIds)
        EXPECT_EQ(Count(received.out, "\"guid\": \"" + id + "\""), 1u) << received.out;
    EXPECT_NE(received.out.find("命令行文章 \\\"一\\\" & <二> " + run), std::string::npos)
        << received.out;
    EXPECT_NE(received.out.find(titles[1]), std::string::npos);
    // MetaWeblog sends the tags and reads them back (mt_keywords); the others have none.
    if (std::string(GetParam().first) == "MetaWeblog")
        EXPECT_EQ(Count(received.out, "\"tags\": \"标签" + run + "\""), 2u) << received.out;

    // Deleting a published article on the server moves it to the trash.
    for (const char* id : {"1", "2"}) {
        CliResult remove = Run({"article", "delete-remote", id});
        ASSERT_EQ(remove.exitCode, 0) << remove.err;
    }
    CliResult trash = Run({"articles", "博客", "--folder", "4", "--json"});
    for (const std::string& id : postIds)
        EXPECT_NE(trash.out.find("\"guid\": \"" + id + "\""), std::string::npos) << trash.out;
    EXPECT_EQ(Run({"articles", "博客", "--folder", "2", "--json"}).out, "[]\n");
}

TEST_P(BlogCliPeerTest, CategoriesMediaAndAWrongPassword) {
    ASSERT_EQ(AddAccount("博客", Password()).exitCode, 0);
    CliResult categories = Run({"categories", "博客", "--json"});
    WriteAll(m_dir + "/说明.txt", "纯文本附件\n");
    CliResult media = Run({"media", "upload", "博客", m_dir + "/说明.txt"});
    if (std::string(GetParam().first) == "Blogger") {
        EXPECT_EQ(categories.exitCode + media.exitCode, 2); // neither in the Blogger API
    } else {
        EXPECT_NE(categories.out.find("{\"name\": \"技术\", \"id\": \"3\"}"), std::string::npos)
            << categories.err;
        EXPECT_EQ(media.out.rfind("http://127.0.0.1:8080/wp-content/uploads/", 0), 0u) << media.err;
        EXPECT_NE(media.out.find("说明"), std::string::npos) << media.out;
    }
    ASSERT_EQ(AddAccount("错的", "wrong-password").exitCode, 0);
    CliResult test = Run({"account", "test", "错的"});
    EXPECT_EQ(test.exitCode, 1);
    EXPECT_NE(test.err.find("错误 4000"), std::string::npos) << test.err;
    EXPECT_NE(test.err.find(Rest()
                                ? "提示代码: rest_not_logged_in\r\n提示信息: You are not currently "
                                  "logged in. (HTTP 401)"
                                : "提示代码: 403\r\n提示信息: Incorrect username or password."),
              std::string::npos)
        << test.err;
}

INSTANTIATE_TEST_SUITE_P(
    WordPress, BlogCliPeerTest,
    ::testing::Values(std::pair{"MetaWeblog", "UTF-8"}, std::pair{"Blogger", "GB2312"},
                      std::pair{"MovableType", "GB2312"}, std::pair{"WordPress REST", "UTF-8"}),
    [](const auto& info) {
        std::string type = info.param.first;
        std::replace(type.begin(), type.end(), ' ', '_');
        return type + (std::string(info.param.second) == "UTF-8" ? "_Utf8" : "_Gb2312");
    });

} // namespace

// The peer's pages announce both interfaces; both answer, and REST is proposed.
TEST(BlogCliPeerDiscovery, TheHomePageLeadsToBothInterfaces) {
    SKIP_WITHOUT_PEER();
    const std::string dir = MakeTempDir();
    CliResult found = RunCli(dir, {"account", "discover", "127.0.0.1:8080"});
    RemoveTree(dir);
    ASSERT_EQ(found.exitCode, 0) << found.err;
    for (const std::string line :
         {"找到 WordPress REST 接口 (RSD): http://127.0.0.1:8080/index.php?rest_route=/ — 可用",
          "找到 MetaWeblog 接口 (RSD): http://127.0.0.1:8080/xmlrpc.php — 可用",
          "\ntype=WordPress REST\nurl=http://127.0.0.1:8080/index.php?rest_route=/\nport=8080\n"})
        EXPECT_NE(found.out.find(line), std::string::npos) << line << "\n" << found.out;
}
