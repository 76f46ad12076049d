#include "support/CliRunner.h"

#include <gtest/gtest.h>

namespace {

class CliTest : public CCliTest {};

} // namespace

TEST_F(CliTest, InitThenReadTheReceiveGroup) {
    CliResult init = Run({"init"});
    ASSERT_EQ(init.exitCode, 0) << init.err;
    EXPECT_EQ(init.out, m_dir + "/q\n");

    CliResult get = Run({"settings", "get", "receive"});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(get.out, "startupautoreceive=1\nautoreceive=1\nautoreceivetype=1\n"
                       "autoreceivetime=30\nclickchannelautoreceive=0\n"
                       "switchchannelautomakeread=1\nwhenexitrememberunreadnum=1\n"
                       "paginationnum=50\n");

    CliResult json = Run({"settings", "get", "storage", "--json"});
    ASSERT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out, "{\"storagetype\": \"1\", \"storagenum\": \"200\"}\n");
}

TEST_F(CliTest, SetChecksTheValueLikeTheSettingsPage) {
    ASSERT_EQ(Run({"init"}).exitCode, 0);
    CliResult refused = Run({"settings", "set", "rss/paginationnum", "29"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("分页数需在 30~1000 之间"), std::string::npos) << refused.err;

    ASSERT_EQ(Run({"settings", "set", "rss/paginationnum", "100"}).exitCode, 0);
    ASSERT_EQ(Run({"settings", "set", "debug/out", "/var/log/q/quill_debug.html"}).exitCode, 0);
    EXPECT_NE(Run({"settings", "get", "receive"}).out.find("paginationnum=100"), std::string::npos);
    EXPECT_EQ(Run({"settings", "get", "debug"}).out, "use=0\nout=/var/log/q\n");

    CliResult unknown = Run({"settings", "set", "rss/nosuchkey", "1"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("7001"), std::string::npos) << unknown.err;
}

TEST_F(CliTest, BrokenSettingsFileIsReportedWithItsCatalogueText) {
    ASSERT_EQ(Run({"init"}).exitCode, 0);
    WriteAll(m_dir + "/q/config/appConfig.xml", "<app><rss>");
    CliResult broken = Run({"settings", "get", "receive"});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.err.find("错误 7000: 无法载入程序配置文件"), std::string::npos) << broken.err;
    EXPECT_EQ(broken.out, "");
    // init repairs nothing the user has: the broken file stays as it is.
    ASSERT_EQ(Run({"init"}).exitCode, 0);
    EXPECT_EQ(ReadAll(m_dir + "/q/config/appConfig.xml"), "<app><rss>");
}

TEST_F(CliTest, BadCommandLinesPrintUsage) {
    EXPECT_EQ(Run({}).exitCode, 1);
    EXPECT_EQ(Run({"frobnicate"}).exitCode, 1);
    CliResult group = Run({"settings", "get", "nosuchgroup"});
    EXPECT_EQ(group.exitCode, 1);
    EXPECT_NE(group.err.find("用法"), std::string::npos);
}
