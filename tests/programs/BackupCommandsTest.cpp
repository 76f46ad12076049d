// The backup and e-book commands of quillmark-cli, run as a user runs them.
#include "platform/LoopbackServer.h"
#include "platform/process/ProgramRunner.h"
#include "platform/text/TextCodec.h"
#include "storage/ArticleDatabase.h"
#include "support/CliRunner.h"
#include "support/StoreSupport.h"

#include <gtest/gtest.h>

namespace {

class BackupCommandsTest : public CCliTest {
protected:
    void SetUp() override {
        for (const char* name : {"源", "目标"})
            ASSERT_EQ(Run(AccountAddArgs(name)).exitCode, 0);
    }
    void AddReceived(const ArticleRecord& article) {
        CArticleDatabase store(m_dir + "/q/Storage/blog.db");
        ASSERT_TRUE(Done(store.OpenStore()));
        ASSERT_TRUE(store.InsertArticle(kFolderReceived, "源", article));
    }
};

TEST_F(BackupCommandsTest, ExportThenImportIntoAnotherAccountsDrafts) {
    AddReceived({.title = "第一篇 ]]> 𠮷",
                 .content = "<p>正文</p>",
                 .pubDate = "2026-01-01 10:00:00",
                 .category = "随笔"});
    AddReceived({.title = "第二篇", .content = "二", .pubDate = "2026-01-02 10:00:00"});
    const std::string file = m_dir + "/备份.xml";
    CliResult exported = Run({"backup", "export", "源", "--folder", "1", file});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out, "2 篇文章导出成功\n");
    CliResult imported = Run({"backup", "import", "目标", file});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(imported.out, "导入成功 2 篇日志\n");
    CliResult drafts = Run({"articles", "目标", "--folder", "3"});
    EXPECT_NE(drafts.out.find("第一篇 ]]> 𠮷"), std::string::npos) << drafts.out;
    EXPECT_NE(drafts.out.find("第二篇"), std::string::npos);

    CliResult empty = Run({"backup", "export", "源", "--folder", "2", m_dir + "/x.xml"});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.err, "当前文件夹没有日志!\n");
    WriteAll(file, "<?xml version=\"1.0\"?><rss><channel><item><title>半");
    CliResult broken = Run({"backup", "import", "目标", file});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.err.find("5001"), std::string::npos) << broken.err;
    EXPECT_EQ(Run({"backup", "import", "没有的账户", file}).exitCode, 1);
}

TEST_F(BackupCommandsTest, EbooksOfAFolderAndOfAChannel) {
    loopback::CHttpServer server;
    for (const auto& [path, title] :
         {std::pair{"/feed.xml", "头条新闻"}, std::pair{"/sport.xml", "体育快讯"}}) {
        const std::string feed =
            std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><title>c</title>"
                        "<item><title>") +
            title + "</title><link>http://n" + path + "</link><description>今日要闻</description>" +
            "</item></channel></rss>";
        server.Server().Get(path, [feed](const httplib::Request&, httplib::Response& r) {
            r.set_content(feed, "application/rss+xml");
        });
    }
    server.Start();
    AddReceived({.title = "书中一篇", .content = "<p>书的正文</p>", .category = "随笔"});

    CliResult untitled = Run({"ebook", "--account", "源", "--folder", "1", m_dir + "/a.chm"});
    EXPECT_EQ(untitled.exitCode, 1);
    EXPECT_EQ(untitled.err, "请输入标题!\n");

    CliResult folder = Run({"ebook", "--account", "源", "--folder", "1", "--title", "我的日志",
                            "--by-category", m_dir + "/a.chm"});
    ASSERT_EQ(folder.exitCode, 0) << folder.err << folder.out;
    EXPECT_NE(folder.out.find(">>编译 MyLogCHM.hhp"), std::string::npos);
    EXPECT_NE(folder.out.find("制作完成! 1 篇文章"), std::string::npos);

    ASSERT_EQ(Run({"channel", "mkdir", "资讯"}).exitCode, 0);
    ASSERT_EQ(
        Run({"channel", "add", server.Url("/feed.xml"), "--title", "新闻", "--parent", "资讯"})
            .exitCode,
        0);
    ASSERT_EQ(
        Run({"channel", "add", server.Url("/sport.xml"), "--title", "体育", "--parent", "资讯"})
            .exitCode,
        0);
    ASSERT_EQ(Run({"receive", "--all"}).exitCode, 0);
    CliResult channel =
        Run({"ebook", "--channel", "资讯/新闻", "--title", "新闻合集", m_dir + "/b.chm"});
    ASSERT_EQ(channel.exitCode, 0) << channel.err << channel.out;
    EXPECT_NE(channel.out.find("制作完成! 1 篇文章"), std::string::npos);
    const ProgramResult unpacked =
        CProgramRunner::Run("extract_chmLib", {m_dir + "/b.chm", m_dir + "/b"});
    ASSERT_TRUE(unpacked.Succeeded()) << unpacked.output;
    EXPECT_NE(ReadAll(m_dir + "/b/0.html").find("&#22836;&#26465;"), std::string::npos); // 头条
    EXPECT_NE(CTextCodec::GbkToUtf8(ReadAll(m_dir + "/b/MyLogCHM.hhc")).find("头条新闻"),
              std::string::npos);

    // A directory binds every channel below it, in tree order, as the window does.
    CliResult directory =
        Run({"ebook", "--channel", "资讯", "--title", "资讯合集", m_dir + "/d.chm"});
    ASSERT_EQ(directory.exitCode, 0) << directory.err << directory.out;
    EXPECT_NE(directory.out.find("制作完成! 2 篇文章"), std::string::npos);
    ASSERT_TRUE(
        CProgramRunner::Run("extract_chmLib", {m_dir + "/d.chm", m_dir + "/d"}).Succeeded());
    const std::string contents = CTextCodec::GbkToUtf8(ReadAll(m_dir + "/d/MyLogCHM.hhc"));
    EXPECT_LT(contents.find("头条新闻"), contents.find("体育快讯")) << contents;

    CliResult missing = Run({"ebook", "--channel", "没有", "--title", "x", m_dir + "/c.chm"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "找不到频道: 没有\n");
}

} // namespace
