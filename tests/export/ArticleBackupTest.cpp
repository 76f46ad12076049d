#include "export/ArticleBackup.h"
#include "platform/text/TextCodec.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

class ArticleBackupTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Done(m_store.OpenStore())); }

    std::vector<ArticleRecord> Drafts(const std::string& account) {
        std::vector<ArticleRecord> list;
        EXPECT_TRUE(m_store.GetArticlePage(kFolderDrafts, account, list, 100, 0));
        return list;
    }

    CTempHome m_home;
    CArticleDatabase m_store{m_home.File("Storage/blog.db")};
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    std::string m_file = m_home.File("Temp/backup.xml");
};

TEST_F(ArticleBackupTest, BackupIsAnRss2DocumentInGbkBytes) {
    const std::vector<ArticleRecord> articles{
        {.title = "一", .content = "<p>甲</p>", .pubDate = "2026-01-02 03:04:05", .category = "杂"},
        {.title = "二", .content = "乙", .pubDate = "2026-01-03 00:00:00", .category = ""},
        {.title = "三", .content = "丙", .pubDate = "2026-01-04 00:00:00", .category = "c"}};
    const std::string text = CArticleBackup::BuildDocument(articles);
    EXPECT_EQ(text.find("<?xml version=\"1.0\" encoding=\"gb2312\"?><rss version=\"2.0\"><channel>"
                        "<title>妙笔 Quillmark</title><link></link>"
                        "<description>博客日志备份文件(RSS2.0)</description><item id=\"1\">"),
              0u);
    EXPECT_NE(text.find("<item id=\"1\"><title><![CDATA[一]]></title><category><![CDATA[杂]]>"
                        "</category><description><![CDATA[<p>甲</p>]]></description><pubDate>"
                        "<![CDATA[2026-01-02 03:04:05]]></pubDate></item><item id=\"2\">"),
              std::string::npos);
    EXPECT_NE(text.find("<item id=\"3\">"), std::string::npos);
    EXPECT_TRUE(text.ends_with("</item></channel></rss>"));

    ASSERT_TRUE(CArticleBackup::ExportBackup(m_file, articles));
    EXPECT_EQ(ReadAll(m_file), CTextCodec::Utf8ToGbk(text));
}

TEST_F(ArticleBackupTest, ARoundTripKeepsEveryTextAndStoresDraftsInOneBatch) {
    // Chinese, the end of a CDATA section, characters GBK lacks (the euro sign among them),
    // line breaks of both kinds and a control character that XML cannot carry.
    const ArticleRecord tricky{
        .title = "标题 ]]> 与 𠮷 和 €",
        .content = "<p>正文第一行\r\n第二行 ]]]]>>> 😀 &amp; <![CDATA[x]]></p>\x01尾",
        .pubDate = "2026-03-04 05:06:07",
        .category = "分类 ☃"};
    const ArticleRecord plain{
        .title = "Plain", .content = "body", .pubDate = "2026-03-05 00:00:00", .category = "杂谈"};
    for (const auto& a : {tricky, plain})
        ASSERT_TRUE(m_store.InsertArticle(kFolderReceived, "源账户", a));
    int count = 0;
    ASSERT_EQ(CArticleBackup::ExportFolder(m_store, "源账户", kFolderReceived, m_file, count), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(CArticleBackup::ExportedText(count), "2 篇文章导出成功");

    ASSERT_EQ(CArticleBackup::ImportToDrafts(m_store, "目标账户", m_file, count), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(CArticleBackup::ImportedText(count), "导入成功 2 篇日志");
    // Importing twice stores the articles twice.
    ASSERT_EQ(CArticleBackup::ImportToDrafts(m_store, "目标账户", m_file, count), 1);
    const std::vector<ArticleRecord> drafts = Drafts("目标账户");
    ASSERT_EQ(drafts.size(), 4u);
    EXPECT_EQ(drafts[0].title, tricky.title);
    EXPECT_EQ(drafts[0].content, "<p>正文第一行\r\n第二行 ]]]]>>> 😀 &amp; <![CDATA[x]]></p>尾");
    EXPECT_EQ(drafts[0].category, tricky.category);
    EXPECT_EQ(drafts[0].pubDate, tricky.pubDate);
    EXPECT_TRUE(drafts[0].guid.empty());
    EXPECT_EQ(drafts[1].title, "Plain");
    EXPECT_EQ(drafts[3].category, "杂谈");
    EXPECT_TRUE(m_reporter.errors.empty());

    // A selection is written in the order given.
    ASSERT_EQ(CArticleBackup::ExportArticles(m_store, {drafts[1].id, drafts[0].id}, m_file, count),
              1);
    EXPECT_EQ(count, 2);
    std::vector<ArticleRecord> read;
    ASSERT_TRUE(CArticleBackup::ImportBackup(m_file, read));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].title, "Plain");
    EXPECT_EQ(read[1].title, tricky.title);
}

TEST_F(ArticleBackupTest, AnUnreadableFileGives5001AndStoresNothing) {
    ASSERT_TRUE(
        m_store.InsertArticle(kFolderDrafts, "目标账户", {.title = "已有", .content = "x"}));
    const ArticleRecord article{
        .title = "完整", .content = "正文", .pubDate = "2026-01-01 00:00:00"};
    ASSERT_TRUE(CArticleBackup::ExportBackup(m_file, {article, article}));
    const std::string whole = ReadAll(m_file);
    const std::vector<std::string> bad{
        whole.substr(0, whole.size() / 2),                                       // cut off
        "",                                                                      // empty
        "标题,正文\n一,二\n",                                                    // not XML
        "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel></channel></rss>", // no item
    };
    for (const std::string& contents : bad) {
        WriteAll(m_file, contents);
        m_reporter.errors.clear();
        int count = -1;
        EXPECT_EQ(CArticleBackup::ImportToDrafts(m_store, "目标账户", m_file, count), 0);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(m_reporter.errors, std::vector<int>{5001}) << contents.size();
    }
    std::vector<ArticleRecord> none;
    EXPECT_EQ(CArticleBackup::ImportBackup(m_file, none).reason, m_file + ": 文件中没有文章");
    EXPECT_EQ(CArticleBackup::ImportToDrafts(m_store, "目标账户", m_home.File("nowhere.xml"),
                                             *std::make_unique<int>()),
              0);
    EXPECT_EQ(Drafts("目标账户").size(), 1u);
}

TEST_F(ArticleBackupTest, AnEmptyFolderWritesNothing) {
    int count = -1;
    EXPECT_EQ(CArticleBackup::ExportFolder(m_store, "源账户", kFolderSent, m_file, count), 0);
    EXPECT_EQ(m_reporter.messages, std::vector<std::string>{"当前文件夹没有日志!"});
    EXPECT_TRUE(ReadAll(m_file).empty());
}

TEST_F(ArticleBackupTest, ReadsTheFeedsWeblogEnginesExportAndFilesWithoutCategoryOrDate) {
    WriteAll(m_file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\" "
                     "xmlns:content=\"http://purl.org/rss/1.0/modules/content/\"><channel>"
                     "<title>My blog</title><description>Just another site</description>"
                     "<item><title>春天</title><pubDate>Tue, 03 Mar 2026 10:20:30 +0000</pubDate>"
                     "<category><![CDATA[随笔]]></category><category>其他</category>"
                     "<description><![CDATA[摘要…]]></description>"
                     "<content:encoded><![CDATA[<p>完整的正文</p>]]></content:encoded></item>"
                     "</channel></rss>");
    std::vector<ArticleRecord> articles;
    ASSERT_TRUE(CArticleBackup::ImportBackup(m_file, articles));
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].content, "<p>完整的正文</p>");
    EXPECT_EQ(articles[0].category, "随笔");
    EXPECT_EQ(articles[0].pubDate, "2026-03-03 10:20:30");

    WriteAll(m_file,
             "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
             "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>A</title>"
             "<entry><title>夏天</title><published>2026-06-01T08:00:00Z</published>"
             "<category term=\"游记\"/><content type=\"html\">&lt;b&gt;热&lt;/b&gt;</content>"
             "</entry><entry><title type=\"text\">秋</title>"
             "<content type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">"
             "<p>凉</p></div></content></entry></feed>");
    ASSERT_TRUE(CArticleBackup::ImportBackup(m_file, articles));
    ASSERT_EQ(articles.size(), 2u);
    EXPECT_EQ(articles[0].title, "夏天");
    EXPECT_EQ(articles[0].content, "<b>热</b>");
    EXPECT_EQ(articles[0].category, "游记");
    EXPECT_EQ(articles[0].pubDate, "2026-06-01 08:00:00");
    EXPECT_NE(articles[1].content.find("凉"), std::string::npos);
    EXPECT_EQ(articles[1].category, "NULL");
    EXPECT_EQ(articles[1].pubDate, "NULL");

    // Our own files without category and date; an item without a body ends the list.
    WriteAll(m_file,
             CTextCodec::Utf8ToGbk(
                 "<?xml version=\"1.0\" encoding=\"gb2312\"?><rss version=\"2.0\"><channel>"
                 "<description>博客日志备份文件(RSS2.0)</description>"
                 "<item id=\"1\"><title>无分类</title><description>内容</description></item>"
                 "<item id=\"2\"><title>第二篇</title><category>甲</category></item>"
                 "<item id=\"3\"><title>读不到</title><description>x</description></item>"
                 "</channel></rss>"));
    ASSERT_TRUE(CArticleBackup::ImportBackup(m_file, articles));
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].title, "无分类");
    EXPECT_EQ(articles[0].category, "NULL");
    EXPECT_EQ(articles[0].pubDate, "NULL");
}

} // namespace
