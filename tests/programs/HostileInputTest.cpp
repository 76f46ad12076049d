// quillmark-cli given what a careless or hostile user types: every bad value is refused with a
// message and a non-zero exit, and every file stays readable afterwards.
#include "support/CliRunner.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

class HostileInputTest : public CCliTest {
protected:
    void SetUp() override { ASSERT_EQ(Run({"init"}).exitCode, 0); }
    std::string File(const std::string& relative) { return m_dir + "/q/" + relative; }
    // The command fails with the message on stderr.
    void ExpectRefused(const std::vector<std::string>& args, const std::string& message) {
        CliResult r = Run(args);
        EXPECT_NE(r.exitCode, 0) << args[0] << " " << args[1];
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
};

} // namespace

TEST_F(HostileInputTest, ControlCharactersAndBrokenUtf8NeverReachAFile) {
    ASSERT_EQ(Run({"channel", "add", "http://a.example/rss", "--title", "甲"}).exitCode, 0);
    ASSERT_EQ(Run(AccountAddArgs("博客")).exitCode, 0);
    const std::string opml = ReadAll(File("Storage/rssreader.opml"));
    const std::string accounts = ReadAll(File("config/userConfig.xml"));
    const std::string settings = ReadAll(File("config/appConfig.xml"));

    const std::string bad = "您输入了无效的字符!";
    ExpectRefused({"channel", "add", "http://b.example/rss", "--title",
                   "a\x01"
                   "b"},
                  bad);
    ExpectRefused({"channel", "rename", "甲",
                   "k\xE9"
                   "ep"},
                  bad);
    ExpectRefused({"channel", "mkdir", "d\x02ir"}, bad);
    ExpectRefused(AccountAddArgs("c\x01t"), "账户名称含有不合法的字符!");
    std::vector<std::string> badUser = AccountAddArgs("乙");
    badUser[13] = "ad\x1Bmin";
    ExpectRefused(badUser, bad);
    ExpectRefused({"settings", "set", "proxy/username", "a\x01"}, bad);

    EXPECT_EQ(ReadAll(File("Storage/rssreader.opml")), opml);
    EXPECT_EQ(ReadAll(File("config/userConfig.xml")), accounts);
    EXPECT_EQ(ReadAll(File("config/appConfig.xml")), settings);
    EXPECT_EQ(Run({"channel", "list"}).exitCode, 0);
    EXPECT_EQ(Run({"account", "list"}).exitCode, 0);
    EXPECT_EQ(Run({"settings", "get", "proxy"}).exitCode, 0);
}

TEST_F(HostileInputTest, NumbersAddressesAndFoldersAreChecked) {
    ASSERT_EQ(Run({"channel", "add", "http://a.example/rss", "--title", "甲"}).exitCode, 0);
    ExpectRefused({"items", "甲", "--page", "2147483648"}, "--page 2147483648");
    ExpectRefused({"items", "甲", "--page", "abc"}, "--page abc");
    ExpectRefused({"items", "甲", "--page", "2"}, "共 1 页");
    EXPECT_EQ(Run({"items", "甲", "--page", "1"}).exitCode, 0);

    ExpectRefused({"channel", "set", "甲", "--autoupdate", "-7"}, "自动更新只能是 0 或 1");
    ExpectRefused({"channel", "set", "甲", "--tip", "99"}, "新文章提示只能是 0 或 1");
    ExpectRefused({"channel", "set", "甲", "--tip", "x"}, "--tip x");
    // An option of another subcommand is refused, not ignored (the channel would land elsewhere).
    ExpectRefused({"channel", "add", "http://c.example/rss", "--into", "甲"}, "未知的选项: --into");
    ExpectRefused({"channel", "move", "甲", "--title", "乙"}, "未知的选项: --title");
    ExpectRefused({"settings", "set", "wndpos/left", "abc"}, "取值必须是整数");
    ExpectRefused({"settings", "set", "rss/titlereadcolor", "-1"}, "颜色值");
    CliResult placement = Run({"settings", "get", "wndpos"});
    EXPECT_EQ(placement.out.find("abc"), std::string::npos) << placement.out;

    ExpectRefused({"channel", "add", "javascript:alert(1)", "--title", "x"}, "无效的RSS地址");
    ExpectRefused({"channel", "add", "http://[::1", "--title", "x"}, "无效的RSS地址");
    ExpectRefused({"channel", "add", "javascript:alert(1)"}, "无效的RSS地址");
    CliResult feed = Run({"channel", "add", "feed://f.example/rss", "--title", "丙"});
    ASSERT_EQ(feed.exitCode, 0) << feed.err;
    EXPECT_NE(Run({"channel", "list"}).out.find("丙  http://f.example/rss"), std::string::npos);

    // An empty --home would quietly mean the default folder.
    CliResult home = Run({"--home", "", "channel", "list"});
    EXPECT_EQ(home.exitCode, 1);
    EXPECT_NE(home.err.find("--home"), std::string::npos) << home.err;
}

// Every number of the command line is read the same way: one too big for its field, a sign,
// a blank or a word is refused with the command's own message and exit code 1, never a crash.
TEST_F(HostileInputTest, EveryNumberOfEveryCommandIsChecked) {
    ASSERT_EQ(Run({"channel", "add", "http://a.example/rss", "--title", "甲"}).exitCode, 0);
    ASSERT_EQ(Run(AccountAddArgs("博客")).exitCode, 0);
    const std::string usage = "用法: quillmark-cli";
    for (const std::string bad :
         {"99999999999", "123456789012345678901234567890", "+1", " 1", "1x", "-"}) {
        const std::pair<std::vector<std::string>, std::string> cases[] = {
            {{"ebook", "o.chm", "--title", "t", "--favorites", bad}, "收藏夹编号无效: " + bad},
            {{"ebook", "o.chm", "--title", "t", "--account", "博客", "--folder", bad},
             "用法: ebook"},
            {{"backup", "export", "博客", "--folder", bad, "o.xml"}, "用法: backup"},
            {{"posts", "fetch", "博客", "--count", bad}, "获取日志的数量无效: " + bad},
            {{"articles", "博客", "--folder", bad}, usage},
            {{"article", "rm", bad}, "文章编号无效: " + bad},
            {{"article", "move", "1", "--to", "博客", "--folder", bad}, usage},
            {{"items", "甲", "--page", bad}, "无效的数值: --page " + bad},
            {{"channel", "set", "甲", "--rank", bad}, "无效的数值: --rank " + bad},
            {{"item", "show", bad}, "无效的编号: " + bad},
            {{"receive", "--timeout", bad}, "--timeout 需为 1~3600 之间的秒数"},
            {{"fav", "add", bad, "--box", "x"}, "无效的编号: " + bad},
            {{"search", "k", "--web", "--count", bad}, "--count 需在 1~100 之间: " + bad},
        };
        for (const auto& [args, message] : cases) {
            const CliResult r = Run(args);
            EXPECT_EQ(r.exitCode, 1) << args[0] << " " << args[1] << " [" << bad << "]";
            EXPECT_NE(r.err.find(message), std::string::npos)
                << args[0] << " [" << bad << "]: " << r.err;
        }
    }
}

TEST_F(HostileInputTest, AnAccountWhoseStoreFailsIsNotHalfRemoved) {
    ASSERT_EQ(Run(AccountAddArgs("博客")).exitCode, 0);
    WriteAll(m_dir + "/post.html", "<p>正文</p>");
    CliResult added =
        Run({"article", "new", "博客", "--title", "留下", "--content-file", m_dir + "/post.html"});
    ASSERT_EQ(added.exitCode, 0) << added.err;

    // The store cannot be opened: the account and its articles both stay.
    namespace fs = std::filesystem;
    const std::string store = File("Storage/blog.db");
    for (const char* extra : {"-wal", "-shm"})
        fs::remove(store + extra);
    fs::rename(store, store + ".aside");
    fs::create_directory(store);
    CliResult removed = Run({"account", "rm", "博客"});
    EXPECT_NE(removed.exitCode, 0);
    EXPECT_NE(removed.err.find("删除账户失败!"), std::string::npos) << removed.err;
    EXPECT_NE(Run({"account", "list"}).out.find("博客"), std::string::npos);

    // A store that is no database: the message says why and which file.
    fs::remove(store);
    WriteAll(store, std::string(4096, 'x'));
    removed = Run({"account", "rm", "博客"});
    EXPECT_NE(removed.exitCode, 0);
    EXPECT_NE(removed.err.find("SQLITE_NOTADB[26]: file is not a database (" + store + ")"),
              std::string::npos)
        << removed.err;
    EXPECT_NE(Run({"account", "list"}).out.find("博客"), std::string::npos);

    fs::remove(store);
    fs::rename(store + ".aside", store);
    EXPECT_NE(Run({"articles", "博客", "--folder", "3"}).out.find("留下"), std::string::npos);
    ASSERT_EQ(Run({"account", "rm", "博客"}).exitCode, 0);
    EXPECT_EQ(Run({"account", "list"}).out.find("博客"), std::string::npos);
    ASSERT_EQ(Run(AccountAddArgs("博客")).exitCode, 0);
    EXPECT_EQ(Run({"articles", "博客", "--folder", "3"}).out.find("留下"), std::string::npos)
        << "the articles went with the account";
}
