#include "support/CliRunner.h"

#include <gtest/gtest.h>

namespace {

// Runs the real binary with the words of a command line.
CliResult RunCli(const std::string& home, const std::string& args) {
    std::vector<std::string> words;
    for (size_t start = 0; start < args.size();) {
        size_t end = args.find(' ', start);
        if (end == std::string::npos)
            end = args.size();
        if (end > start)
            words.push_back(args.substr(start, end - start));
        start = end + 1;
    }
    return ::RunCli(home, words);
}

class CliTest : public ::testing::Test {
protected:
    void TearDown() override { RemoveTree(m_dir); }
    std::string m_dir = MakeTempDir();
};

} // namespace

TEST_F(CliTest, InitThenReadTheReceiveGroup) {
    CliResult init = RunCli(m_dir, "init");
    ASSERT_EQ(init.exitCode, 0) << init.err;
    EXPECT_EQ(init.out, m_dir + "/q\n");

    CliResult get = RunCli(m_dir, "settings get receive");
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(get.out, "startupautoreceive=1\nautoreceive=1\nautoreceivetype=1\n"
                       "autoreceivetime=30\nclickchannelautoreceive=0\n"
                       "switchchannelautomakeread=1\nwhenexitrememberunreadnum=1\n"
                       "paginationnum=50\n");

    CliResult json = RunCli(m_dir, "settings get storage --json");
    ASSERT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out, "{\"storagetype\": \"1\", \"storagenum\": \"200\"}\n");
}

TEST_F(CliTest, SetChecksTheValueLikeTheSettingsPage) {
    ASSERT_EQ(RunCli(m_dir, "init").exitCode, 0);
    CliResult refused = RunCli(m_dir, "settings set rss/paginationnum 29");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("分页数需在 30~1000 之间"), std::string::npos) << refused.err;

    ASSERT_EQ(RunCli(m_dir, "settings set rss/paginationnum 100").exitCode, 0);
    ASSERT_EQ(RunCli(m_dir, "settings set debug/out /var/log/q/quill_debug.html").exitCode, 0);
    EXPECT_NE(RunCli(m_dir, "settings get receive").out.find("paginationnum=100"),
              std::string::npos);
    EXPECT_EQ(RunCli(m_dir, "settings get debug").out, "use=0\nout=/var/log/q\n");

    CliResult unknown = RunCli(m_dir, "settings set rss/nosuchkey 1");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("7001"), std::string::npos) << unknown.err;
}

TEST_F(CliTest, BrokenSettingsFileIsReportedWithItsCatalogueText) {
    ASSERT_EQ(RunCli(m_dir, "init").exitCode, 0);
    WriteAll(m_dir + "/q/config/appConfig.xml", "<app><rss>");
    CliResult broken = RunCli(m_dir, "settings get receive");
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.err.find("错误 7000: 无法载入程序配置文件"), std::string::npos) << broken.err;
    EXPECT_EQ(broken.out, "");
    // init repairs nothing the user has: the broken file stays as it is.
    ASSERT_EQ(RunCli(m_dir, "init").exitCode, 0);
    EXPECT_EQ(ReadAll(m_dir + "/q/config/appConfig.xml"), "<app><rss>");
}

TEST_F(CliTest, BadCommandLinesPrintUsage) {
    EXPECT_EQ(RunCli(m_dir, "").exitCode, 1);
    EXPECT_EQ(RunCli(m_dir, "frobnicate").exitCode, 1);
    CliResult group = RunCli(m_dir, "settings get nosuchgroup");
    EXPECT_EQ(group.exitCode, 1);
    EXPECT_NE(group.err.find("用法"), std::string::npos);
}
