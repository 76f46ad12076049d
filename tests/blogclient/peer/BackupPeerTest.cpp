// Backups and e-books of posts fetched from the WordPress peer, as a user makes them with
// quillmark-cli.
#include "PeerSupport.h"
#include "platform/LoopbackServer.h"
#include "platform/process/ProgramRunner.h"
#include "storage/ArticleDatabase.h"
#include "support/CliRunner.h"
#include "support/StoreSupport.h"
#include "support/TextSupport.h"

#include <ctime>
#include <filesystem>
#include <regex>
#include <unistd.h>

namespace {

class BackupPeerTest : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_PEER(); }
    void TearDown() override { RemoveTree(m_dir); }
    CliResult Run(const std::vector<std::string>& args) { return RunCli(m_dir, args); }
    CliResult AddAccount(const std::string& name) {
        return Run({"account", "add", "--name", name, "--description", "备份测试", "--type",
                    "MetaWeblog", "--url", kPeerUrl, "--port", "8080", "--user", "admin",
                    "--password", "quill-pass-1", "--encoding", "UTF-8"});
    }
    std::vector<ArticleRecord> Folder(int folder, const std::string& account) {
        CArticleDatabase store(m_dir + "/q/Storage/blog.db");
        std::vector<ArticleRecord> list;
        EXPECT_TRUE(Done(store.OpenStore()));
        EXPECT_TRUE(store.GetArticlePage(folder, account, list, 9999, 0));
        return list;
    }

    std::string m_dir = MakeTempDir();
};

TEST_F(BackupPeerTest, FetchedPostsGoThroughABackupAndIntoAnEbook) {
    loopback::CHttpServer pictures;
    pictures.Server().Get("/pic.png", [](const httplib::Request&, httplib::Response& r) {
        r.set_content("PICTURE", "image/png");
    });
    pictures.Start();
    ASSERT_EQ(AddAccount("源博客").exitCode, 0);
    ASSERT_EQ(AddAccount("新博客").exitCode, 0);
    const std::string run = std::to_string(::getpid()) + "-" + std::to_string(std::time(nullptr));
    const std::string title = "备份文章 𠮷 ]]> " + run;
    WriteAll(m_dir + "/body.html",
             "<p>正文 ]]> 与 😀</p><img src=\"" + pictures.Url("/pic.png") + "\">");
    CliResult draft = Run({"article", "new", "源博客", "--title", title, "--category", "技术",
                           "--content-file", m_dir + "/body.html"});
    ASSERT_EQ(draft.exitCode, 0) << draft.err;
    CliResult publish = Run({"article", "publish", draft.out.substr(0, draft.out.size() - 1)});
    ASSERT_EQ(publish.exitCode, 0) << publish.err;
    const std::string postId = publish.out.substr(0, publish.out.size() - 1);
    CliResult fetch = Run({"posts", "fetch", "源博客", "--count", "100"});
    ASSERT_EQ(fetch.exitCode, 0) << fetch.err;

    const std::string file = m_dir + "/已收日志.xml";
    ASSERT_EQ(Run({"backup", "export", "源博客", "--folder", "1", file}).exitCode, 0);
    CliResult imported = Run({"backup", "import", "新博客", file});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    const std::vector<ArticleRecord> received = Folder(kFolderReceived, "源博客");
    const std::vector<ArticleRecord> drafts = Folder(kFolderDrafts, "新博客");
    EXPECT_EQ(imported.out, "导入成功 " + std::to_string(received.size()) + " 篇日志\n");
    ASSERT_EQ(drafts.size(), received.size());
    bool ours = false;
    for (size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(drafts[i].title, received[i].title);
        EXPECT_EQ(drafts[i].content, received[i].content);
        EXPECT_EQ(drafts[i].category, received[i].category);
        EXPECT_EQ(drafts[i].pubDate, received[i].pubDate);
        ours = ours || received[i].title == title;
    }
    std::string titles;
    for (const ArticleRecord& a : received)
        titles += a.title + "\n";
    EXPECT_TRUE(ours) << "the post of this run was not fetched:\n" << titles;

    CliResult book = Run({"ebook", "--account", "源博客", "--folder", "1", "--title", "备份",
                          "--pictures", "--by-category", m_dir + "/book.chm"});
    ASSERT_EQ(book.exitCode, 0) << book.err << book.out;
    const ProgramResult unpacked =
        CProgramRunner::Run("extract_chmLib", {m_dir + "/book.chm", m_dir + "/book"});
    ASSERT_TRUE(unpacked.Succeeded()) << unpacked.output;
    std::string pages;
    for (size_t i = 0; i < received.size(); ++i)
        pages += DecodeReferences(ReadAll(m_dir + "/book/" + std::to_string(i) + ".html"));
    for (const ArticleRecord& article : received) {
        std::string shown = std::regex_replace(article.title, std::regex("&"), "&amp;");
        shown = std::regex_replace(shown, std::regex("<"), "&lt;");
        shown = std::regex_replace(shown, std::regex(">"), "&gt;");
        shown = std::regex_replace(shown, std::regex("\""), "&quot;");
        EXPECT_NE(pages.find(shown), std::string::npos) << article.title;
    }
    EXPECT_NE(pages.find("正文 ]]> 与 😀"), std::string::npos);
    // Other posts on the peer may carry pictures of their own: this run's is one of the book's.
    bool pictureKept = false;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir + "/book/images"))
        pictureKept = pictureKept || ReadAll(entry.path().string()) == "PICTURE";
    EXPECT_TRUE(pictureKept);

    EXPECT_EQ(Run({"article", "delete-remote", draft.out.substr(0, draft.out.size() - 1)}).exitCode,
              0);
}

} // namespace
