// quillmark-cli killed with SIGKILL at random moments while it receives feeds and while it writes
// each kind of file (channel tree, settings, accounts): afterwards both databases pass SQLite's
// integrity check, every file loads, and a normal receive works.
#include "support/CliRunner.h"

#include "export/ArticleBackup.h"
#include "platform/LoopbackServer.h"
#include "platform/xml/XmlDocument.h"
#include "storage/ArticleDatabase.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <spawn.h>
#include <thread>

extern char** environ;

namespace {

// A feed long enough that receiving it takes a while (parse, merge, trim).
std::string LongFeed(int items, int round) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                      "<title>长</title>";
    for (int i = 0; i < items; ++i)
        xml += "<item><title>条目 " + std::to_string(round) + "-" + std::to_string(i) +
               "</title><link>http://a.example/" + std::to_string(round) + "/" + std::to_string(i) +
               "</link><description>" + std::string(200, 'x') +
               "</description><pubDate>Tue, 07 Mar 2006 09:05:00 GMT</pubDate></item>";
    return xml + "</channel></rss>";
}

class CrashSafetyTest : public CCliTest {
protected:
    void SetUp() override {
        m_server.Server().Get("/feed", [this](const httplib::Request&, httplib::Response& r) {
            r.set_content(LongFeed(2000, ++m_round), "application/rss+xml");
        });
        m_server.Start();
        ASSERT_EQ(Run({"init"}).exitCode, 0);
        ASSERT_EQ(Run({"channel", "add", m_server.Url("/feed"), "--title", "长"}).exitCode, 0);
    }
    std::string File(const std::string& relative) { return m_dir + "/q/" + relative; }

    // Starts the cli with the words and kills it after a random delay of up to maxMs; true when
    // it was still running (and so was killed).
    bool KillDuring(const std::vector<std::string>& args, int maxMs) {
        std::vector<std::string> words = {QUILL_CLI_PATH, "--home", m_dir + "/q"};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return false;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(0, maxMs)(m_random)));
        bool killed = ::kill(pid, SIGKILL) == 0;
        int status = 0;
        ::waitpid(pid, &status, 0);
        return killed && WIFSIGNALED(status);
    }

    // Everything the program keeps is whole after the kill.
    void ExpectIntact(const std::string& what) {
        SCOPED_TRACE(what);
        CFeedDatabase feeds(File("Storage/rss.db"));
        ASSERT_TRUE(Done(feeds.OpenStore()));
        EXPECT_TRUE(Done(feeds.CheckIntegrity()));
        CArticleDatabase articles(File("Storage/blog.db"));
        ASSERT_TRUE(Done(articles.OpenStore()));
        EXPECT_TRUE(Done(articles.CheckIntegrity()));
        for (const char* file : {"Storage/rssreader.opml", "Storage/rssFavorite.opml",
                                 "config/appConfig.xml", "config/userConfig.xml"}) {
            CXmlDocument doc;
            EXPECT_TRUE(doc.LoadFile(File(file))) << file << ": " << doc.GetLastError();
        }
    }

    loopback::CHttpServer m_server;
    std::atomic<int> m_round{0};
    std::mt19937 m_random{std::random_device{}()};
};

} // namespace

TEST_F(CrashSafetyTest, KilledAtRandomMomentsLeavesEveryStoreAndFileWhole) {
    int killed = 0;
    // A weblog account and a backup of 300 articles to import into its 草稿箱.
    ASSERT_EQ(Run(AccountAddArgs("备份")).exitCode, 0);
    std::vector<ArticleRecord> articles;
    for (int n = 0; n < 300; ++n)
        articles.push_back({.title = "文章" + std::to_string(n),
                            .content = "<p>" + std::string(2000, 'x') + "</p>",
                            .pubDate = "2026-12-06 10:00:00",
                            .category = "技术"});
    const std::string backupFile = m_dir + "/backup.xml";
    const ExportResult written = CArticleBackup::ExportBackup(backupFile, articles);
    ASSERT_TRUE(written) << written.reason;
    for (int i = 0; i < 3; ++i) {
        killed += KillDuring({"receive", "--all"}, 400);
        ExpectIntact("receiving, round " + std::to_string(i));
        const std::string n = std::to_string(i);
        killed += KillDuring({"channel", "mkdir", "目录" + n}, 40);
        // The channel may be added whole before the kill comes: it is one the final receive
        // can read.
        killed += KillDuring(
            {"channel", "add", m_server.Url("/feed") + "?round=" + n, "--title", "频道" + n}, 40);
        ExpectIntact("writing the channel tree, round " + n);
        killed += KillDuring({"settings", "set", "rss/paginationnum", std::to_string(100 + i)}, 40);
        ExpectIntact("writing the settings, round " + n);
        killed += KillDuring(AccountAddArgs("账户" + n), 40);
        ExpectIntact("writing the accounts, round " + n);
        killed += KillDuring({"fav", "mkbox", "收藏" + n}, 40);
        ExpectIntact("writing the favorites, round " + n);
        killed += KillDuring({"backup", "import", "备份", backupFile}, 150);
        ExpectIntact("importing a backup, round " + n);
    }
    // The kills must have hit running programs, or nothing was tested.
    EXPECT_GT(killed, 4);
    // The program itself reads every file again.
    EXPECT_EQ(Run({"channel", "list"}).exitCode, 0);
    EXPECT_EQ(Run({"account", "list"}).exitCode, 0);
    EXPECT_EQ(Run({"settings", "get", "receive"}).exitCode, 0);
    EXPECT_EQ(Run({"fav", "list"}).exitCode, 0);
    // A backup import is one batch: a killed one stored all of its articles or none.
    CArticleDatabase store(File("Storage/blog.db"));
    ASSERT_TRUE(Done(store.OpenStore()));
    int drafts = 0;
    ASSERT_TRUE(store.CountArticles(kFolderDrafts, "备份", drafts));
    EXPECT_EQ(drafts % 300, 0) << drafts;

    CliResult received = Run({"receive", "--all"});
    EXPECT_EQ(received.exitCode, 0) << received.err << received.out;
    EXPECT_NE(received.out.find("长\tok\t"), std::string::npos) << received.out;
    ExpectIntact("after a normal receive");
}
