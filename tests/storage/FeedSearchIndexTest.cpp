// The full-text index must give exactly what a LIKE scan of the items gives, whatever happened to
// the items since it was built.
#include "storage/FeedSearchIndex.h"
#include "storage/FeedDatabase.h"
#include "storage/StoreSql.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

FeedItem Item(const std::string& link, const std::string& title,
              const std::string& description = "") {
    FeedItem item;
    item.link = link;
    item.title = title;
    item.description = description;
    item.pubDate = "2024-05-01 08:00:00";
    return item;
}

std::vector<int> Ids(const std::vector<FeedItem>& items) {
    std::vector<int> ids;
    for (const FeedItem& item : items)
        ids.push_back(item.id);
    return ids;
}

// The keywords checked against the scan: ASCII in both cases, LIKE's own wildcards, quotes,
// letters whose case only Unicode folds, Chinese, and keywords too short for a trigram.
const std::vector<std::string> kKeywords = {
    "rock",  "ROCK'N", "n'roll", "100%", "_x_",    "a\\b",   "say \"hi\"", "ärger",  "ÄRGER",
    "Ärg",   "新闻联", "联播",   "新",   "妙笔生", "妙笔",   "ro",         "R",      "zzz",
    "quill", "Quill ", "标题 A", "x_y",  "%",      "题 abc", "ΣΊΣΥΦΟΣ",    "σίσυφος"};

class FeedSearchIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_store.OpenStore(), 1) << m_store.GetLastError();
        for (int i = 1; i <= 3; ++i) {
            int id = 0;
            ASSERT_EQ(m_store.AddFeed("http://channel/" + std::to_string(i), id), 1);
        }
        Receive(1, {Item("1", "Rock'n'Roll news", "新闻联播 tonight"),
                    Item("2", "100% sure", "a\\b and x_y"), Item("3", "Ärger im Büro", "ärger"),
                    Item("4", "plain", "it's ROCK'N'ROLL, say \"hi\"")});
        Receive(2, {Item("5", "新闻联播", "妙笔生花"), Item("6", "ΣΊΣΥΦΟΣ", "标题 ABC"),
                    Item("7", "QUILLMARK", "_x_ %")});
        Receive(3, {Item("8", "妙笔", "quill rock")});
    }
    void TearDown() override {
        m_store.CloseStore();
        RemoveTree(m_dir);
    }
    void Receive(int feedId, const std::vector<FeedItem>& items) {
        ASSERT_EQ(m_store.SaveReceivedItems(feedId, items, kStorageKeepAll, 0), 1)
            << m_store.GetLastError();
    }
    // Every batch of the index's catch-up fails from now on, as on a full disk.
    void FailCatchUp() {
        ASSERT_EQ(m_store.Exec("CREATE TRIGGER fail_catch_up BEFORE DELETE ON rss_search_pending "
                               "BEGIN SELECT RAISE(ABORT, 'disk full'); END;"),
                  1);
    }
    // What the plain scan finds, by the LIKE condition alone.
    static std::vector<int> Scan(CFeedDatabase& store, const std::string& keyword,
                                 const std::vector<int>& feeds, bool all, bool inDescription) {
        std::string sql = "SELECT item_id FROM rss_data WHERE (item_title LIKE ?1 ESCAPE '\\'";
        if (inDescription)
            sql += " OR item_description LIKE ?1 ESCAPE '\\'";
        sql += ")";
        if (!all)
            sql += " AND item_feedid IN (SELECT value FROM json_each(?2))";
        CSqlStatement select = store.Db().CompileStatement(sql + " ORDER BY item_id DESC;");
        select.Bind(1, CStoreSql::ContainsPattern(keyword));
        if (!all)
            select.Bind(2, CStoreSql::IdArray(feeds));
        std::vector<int> ids;
        for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next())
            ids.push_back(rows.GetInt(0));
        return ids;
    }
    // Every keyword in every scope gives the scan's rows; returns how many hits there were in
    // all, so that a test can see that it looked at something.
    static size_t ExpectSameAsScan(CFeedDatabase& store) {
        size_t hits = 0;
        for (const std::string& keyword : kKeywords) {
            for (int scope = 0; scope < 4; ++scope) {
                const bool all = scope < 2;
                const bool inDescription = scope % 2 == 1;
                const std::vector<int> feeds = {1, 3};
                std::vector<FeedItem> found;
                EXPECT_EQ(store.SearchItems(keyword, found, feeds, all, inDescription), 1)
                    << store.GetLastError();
                EXPECT_EQ(Ids(found), Scan(store, keyword, feeds, all, inDescription))
                    << "keyword " << keyword << ", all " << all << ", descriptions "
                    << inDescription;
                hits += found.size();
            }
        }
        return hits;
    }
    std::string m_dir = MakeTempDir();
    CFeedDatabase m_store{m_dir + "/rss.db"};
};

} // namespace

TEST_F(FeedSearchIndexTest, FindsExactlyWhatTheScanFinds) {
    EXPECT_GT(ExpectSameAsScan(m_store), 40u);
    // A few by hand, so that the scan's meaning itself is pinned down.
    std::vector<FeedItem> found;
    ASSERT_EQ(m_store.SearchItems("ärger", found, {}, true, false), 1);
    EXPECT_TRUE(found.empty()); // only ASCII letters are taken in either case
    ASSERT_EQ(m_store.SearchItems("rock'n", found, {}, true, true), 1);
    EXPECT_EQ(found.size(), 2u);
    ASSERT_EQ(m_store.SearchItems("新闻联", found, {1}, false, false), 1);
    EXPECT_TRUE(found.empty());
    ASSERT_EQ(m_store.SearchItems("新闻联", found, {1}, false, true), 1);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].link, "1");
}

TEST_F(FeedSearchIndexTest, StaysInStepWithEveryChangeOfTheItems) {
    // A merge that trims, an edited title, a removed channel, cleaning, a cleared channel and
    // the upkeep tool: after each the index still agrees with the scan.
    ASSERT_EQ(
        m_store.SaveReceivedItems(1, {Item("9", "rock again", "ärger")}, kStorageKeepNewest, 2), 1);
    ExpectSameAsScan(m_store);
    ASSERT_EQ(m_store.Exec("UPDATE rss_data SET item_title = 'zzz quill', item_description = "
                           "'新' WHERE item_link = '5';"),
              1);
    ExpectSameAsScan(m_store);
    std::vector<FeedItem> found;
    ASSERT_EQ(m_store.SearchItems("新闻联", found, {}, true, true), 1);
    EXPECT_EQ(found.size(), 1u);
    ASSERT_EQ(m_store.SetFeedRead(2, 1), 1);
    ASSERT_EQ(m_store.CleanItems({2}, 0, false), 1);
    ExpectSameAsScan(m_store);
    ASSERT_EQ(m_store.SearchItems("zzz", found, {}, true, false), 1);
    EXPECT_TRUE(found.empty());
    ASSERT_EQ(m_store.DeleteFeedItems({3}), 1);
    ExpectSameAsScan(m_store);
    ASSERT_EQ(m_store.DeleteFeeds({1}), 1);
    Receive(3, {Item("10", "Rock back", "妙笔生花")});
    ASSERT_EQ(m_store.CompactStore(), 1);
    ExpectSameAsScan(m_store);
    ASSERT_EQ(m_store.SearchItems("妙笔生", found, {}, true, true), 1);
    EXPECT_EQ(found.size(), 1u);
    // The index agrees with the rows it describes.
    EXPECT_EQ(m_store.Exec("INSERT INTO rss_search (rss_search) VALUES ('integrity-check');"), 1)
        << m_store.GetLastError();
}

TEST_F(FeedSearchIndexTest, LongKeywordsAreLookedUpInTheIndexShortOnesScan) {
    // With the index emptied behind the store's back, only the scan still finds anything.
    ASSERT_EQ(m_store.CatchUpSearchIndex(1000), 1);
    ASSERT_EQ(m_store.Exec("INSERT INTO rss_search (rss_search) VALUES ('delete-all');"), 1);
    std::vector<FeedItem> found;
    ASSERT_EQ(m_store.SearchItems("rock", found, {}, true, true), 1);
    EXPECT_TRUE(found.empty());
    ASSERT_EQ(m_store.SearchItems("新闻联", found, {}, true, false), 1);
    EXPECT_TRUE(found.empty());
    ASSERT_EQ(m_store.SearchItems("联播", found, {}, true, false), 1);
    EXPECT_EQ(found.size(), 1u);
    ASSERT_EQ(m_store.SearchItems("ro", found, {}, true, true), 1);
    EXPECT_EQ(found.size(), 4u);
}

TEST_F(FeedSearchIndexTest, QueuedRowsAreFoundAndACatchUpThatFailsLosesNothing) {
    // Receiving only queues the rows; a catch-up folds them in a batch at a time.
    int64_t pending = 0;
    ASSERT_EQ(m_store.CatchUpSearchIndex(0, &pending), 1);
    EXPECT_EQ(pending, 8);
    ASSERT_EQ(m_store.CatchUpSearchIndex(3, &pending), 1) << m_store.GetLastError();
    EXPECT_EQ(pending, 5);
    // Every later batch fails, the search's own catch-up too: the search reads the queue.
    FailCatchUp();
    EXPECT_EQ(m_store.CatchUpSearchIndex(100), 0);
    EXPECT_NE(m_store.GetLastError().find("disk full"), std::string::npos);
    ASSERT_EQ(m_store.Exec("DROP TRIGGER fail_catch_up;"), 1);
    // The failed batch left the index and the queue as they were.
    EXPECT_EQ(m_store.Exec("INSERT INTO rss_search (rss_search) VALUES ('integrity-check');"), 1)
        << m_store.GetLastError();
    ASSERT_EQ(m_store.CatchUpSearchIndex(0, &pending), 1);
    EXPECT_EQ(pending, 5);
    FailCatchUp();
    EXPECT_GT(ExpectSameAsScan(m_store), 40u);
    ASSERT_EQ(m_store.Exec("DROP TRIGGER fail_catch_up;"), 1);
    // Deleting an indexed row (1) and a queued one (5), and changing both kinds.
    ASSERT_EQ(m_store.Exec("DELETE FROM rss_data WHERE item_link IN ('1', '5');"
                           "UPDATE rss_data SET item_title = 'rock and quill' "
                           "WHERE item_link IN ('2', '6');"),
              1);
    Receive(3, {Item("11", "新闻联播 rock", "")});
    // The index still holds the old texts of rows 1 and 2; the search must not show them.
    FailCatchUp();
    ASSERT_EQ(m_store.Exec("CREATE TRIGGER fail_gone BEFORE DELETE ON rss_search_gone "
                           "BEGIN SELECT RAISE(ABORT, 'disk full'); END;"),
              1);
    ExpectSameAsScan(m_store);
    ASSERT_EQ(m_store.Exec("DROP TRIGGER fail_catch_up; DROP TRIGGER fail_gone;"), 1);
    ASSERT_EQ(m_store.CatchUpSearchIndex(100, &pending), 1) << m_store.GetLastError();
    EXPECT_EQ(pending, 0);
    ExpectSameAsScan(m_store);
    EXPECT_EQ(m_store.Exec("INSERT INTO rss_search (rss_search) VALUES ('integrity-check');"), 1)
        << m_store.GetLastError();
}

TEST(FeedSearchIndexOpenTest, AStoreFromBeforeTheIndexQueuesItsRowsOnOpen) {
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/rss.db";
    {
        // The tables as an earlier version made them: no index, no triggers.
        CSqlDatabase db;
        db.Open(path);
        db.ExecuteUpdate(
            "CREATE TABLE feed_data (feed_id INTEGER PRIMARY KEY AUTOINCREMENT, feed_url TEXT, "
            "feed_rssrank INTEGER DEFAULT 0, feed_storagetype INTEGER DEFAULT 0, feed_storagenum "
            "INTEGER DEFAULT 200, feed_autoupdate INTEGER DEFAULT 1, feed_newitemshowtip INTEGER "
            "DEFAULT 0);"
            "CREATE TABLE rss_data (item_id INTEGER PRIMARY KEY AUTOINCREMENT, item_feedid "
            "INTEGER, item_new INTEGER DEFAULT 0, item_read INTEGER DEFAULT 0, item_link TEXT, "
            "item_title TEXT, item_author TEXT, item_description TEXT, item_pubDate TEXT);"
            "PRAGMA user_version = 1;" // marked as UTF-8 only, as this program's files are
            "INSERT INTO feed_data (feed_url) VALUES ('http://a');"
            "INSERT INTO rss_data (item_feedid, item_link, item_title, item_description) VALUES "
            "(1, 'x', 'Quillmark 妙笔生花', 'old text'), (1, 'y', 'other', NULL),"
            "(1, 'z', NULL, 'QUILL in the text');");
        // A damaged index of an interrupted older attempt: a table without its triggers.
        db.ExecuteUpdate("CREATE VIRTUAL TABLE rss_search USING fts5(item_title);");
    }
    {
        CFeedDatabase store(path);
        ASSERT_EQ(store.OpenStore(), 1) << store.GetLastError();
        // The open only queues the rows; the index fills later.
        int64_t pending = 0;
        ASSERT_EQ(store.CatchUpSearchIndex(0, &pending), 1);
        EXPECT_EQ(pending, 3);
        std::vector<FeedItem> found;
        ASSERT_EQ(store.SearchItems("quill", found, {}, true, true), 1);
        EXPECT_EQ(found.size(), 2u);
        ASSERT_EQ(store.SearchItems("妙笔生", found, {1}, false, false), 1);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].link, "x");
        EXPECT_EQ(store.Exec("INSERT INTO rss_search (rss_search) VALUES ('integrity-check');"), 1)
            << store.GetLastError();
    }
    RemoveTree(dir);
}
