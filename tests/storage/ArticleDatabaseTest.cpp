#include "storage/ArticleDatabase.h"
#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "platform/text/TextCodec.h"
#include "storage/FeedDatabase.h"
#include "storage/LocalStores.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

namespace {

ArticleRecord Post(const std::string& guid, const std::string& title,
                   const std::string& category = "") {
    ArticleRecord record;
    record.guid = guid;
    record.title = title;
    record.category = category;
    record.content = "<p>" + title + "</p>";
    record.pubDate = "2024-05-01 08:00:00";
    return record;
}

std::vector<std::string> Titles(const std::vector<ArticleRecord>& list) {
    std::vector<std::string> titles;
    for (const ArticleRecord& record : list)
        titles.push_back(record.title);
    return titles;
}

std::vector<std::string> IndexNames(CSqlDatabase& db) {
    std::vector<std::string> names;
    for (CSqlQuery rows =
             db.ExecuteQuery("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name;");
         !rows.IsEnd(); rows.Next())
        names.push_back(rows.GetText(0));
    return names;
}

class ArticleDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Done(m_store.OpenStore())); }
    void TearDown() override {
        m_store.CloseStore();
        RemoveTree(m_dir);
    }
    int Count(int folder, const std::string& account) {
        int n = -1;
        const StoreResult counted = m_store.CountArticles(folder, account, n);
        EXPECT_TRUE(counted) << counted.reason;
        return n;
    }
    std::vector<ArticleRecord> Folder(int folder, const std::string& account) {
        std::vector<ArticleRecord> list;
        EXPECT_TRUE(m_store.GetArticlePage(folder, account, list, 9999, 0));
        return list;
    }

    std::string m_dir = MakeTempDir();
    CArticleDatabase m_store{m_dir + "/blog.db"};
};

} // namespace

TEST_F(ArticleDatabaseTest, QuotesInEveryValueAreStoredAndFound) {
    const std::string account = "O'Brien";
    ASSERT_TRUE(m_store.InsertReceivedArticles(kFolderReceived, account,
                                               {Post("id'1", "It's here", "Tom's")}));
    ASSERT_TRUE(m_store.InsertArticle(kFolderDrafts, account, Post("", "Draft's title")));
    EXPECT_EQ(Count(kFolderReceived, account), 1);
    std::vector<ArticleRecord> list = Folder(kFolderReceived, account);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].title, "It's here");
    EXPECT_EQ(list[0].category, "Tom's");
    EXPECT_EQ(list[0].guid, "id'1");
    // The refresh finds the earlier copy by a post id holding a quote.
    ASSERT_TRUE(
        m_store.ReplaceReceivedArticles(kFolderReceived, account, {Post("id'1", "It's changed")}));
    EXPECT_EQ(Titles(Folder(kFolderReceived, account)), std::vector<std::string>{"It's changed"});
    EXPECT_EQ(Count(kFolderDrafts, account), 1);
}

TEST_F(ArticleDatabaseTest, FetchingTheSamePostsTwiceReplacesOnlyTheirCopiesInThatFolder) {
    std::vector<ArticleRecord> posts;
    for (int i = 1; i <= 5; ++i)
        posts.push_back(Post("p" + std::to_string(i), "post " + std::to_string(i)));
    ASSERT_TRUE(m_store.InsertPublishedArticle(kFolderSent, "me", Post("p1", "sent copy")));
    ASSERT_TRUE(m_store.InsertReceivedArticles(kFolderReceived, "other", {Post("p1", "theirs")}));
    ASSERT_TRUE(m_store.InsertReceivedArticles(kFolderReceived, "me", {Post("old", "kept")}));

    ASSERT_TRUE(m_store.ReplaceReceivedArticles(kFolderReceived, "me", posts));
    ASSERT_TRUE(m_store.ReplaceReceivedArticles(kFolderReceived, "me", posts));
    EXPECT_EQ(Count(kFolderReceived, "me"), 6);
    EXPECT_EQ(Count(kFolderSent, "me"), 1);
    EXPECT_EQ(Count(kFolderReceived, "other"), 1);

    // An empty list removes and adds nothing.
    ASSERT_TRUE(m_store.ReplaceReceivedArticles(kFolderReceived, "me", {}));
    EXPECT_EQ(Count(kFolderReceived, "me"), 6);
}

TEST_F(ArticleDatabaseTest, AFailedRefreshLeavesTheFolderAsItWas) {
    ASSERT_TRUE(m_store.InsertReceivedArticles(kFolderReceived, "me",
                                               {Post("a", "first"), Post("b", "second")}));
    ASSERT_TRUE(Done(
        m_store.Exec("CREATE TRIGGER refuse BEFORE INSERT ON blog_article "
                     "WHEN NEW.log_title = 'boom' BEGIN SELECT RAISE(ABORT, 'refused'); END;")));
    const StoreResult refused = m_store.ReplaceReceivedArticles(
        kFolderReceived, "me", {Post("a", "new first"), Post("b", "boom")});
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.reason.find("refused"), std::string::npos);
    EXPECT_FALSE(m_store.Db().InTransaction());
    EXPECT_EQ(Titles(Folder(kFolderReceived, "me")), (std::vector<std::string>{"first", "second"}));
    // The single inserts report too, instead of throwing.
    EXPECT_FALSE(m_store.InsertArticle(kFolderDrafts, "me", Post("", "boom")));
    EXPECT_FALSE(m_store.InsertPublishedArticle(kFolderSent, "me", Post("x", "boom")));
    EXPECT_FALSE(m_store.Db().InTransaction());
}

TEST_F(ArticleDatabaseTest, PagesFollowTheOrderOfStoringWithinTheFolder) {
    for (int i = 1; i <= 70; ++i) {
        ASSERT_TRUE(m_store.InsertArticle(kFolderDrafts, "me", Post("", std::to_string(i))));
        ASSERT_TRUE(m_store.InsertArticle(kFolderTrash, "me", Post("", "t")));
    }
    std::vector<ArticleRecord> page;
    ASSERT_TRUE(m_store.GetArticlePage(kFolderDrafts, "me", page, 20, 40));
    ASSERT_EQ(page.size(), 20u);
    EXPECT_EQ(page.front().title, "41");
    EXPECT_EQ(page.back().title, "60");
}

TEST_F(ArticleDatabaseTest, CopiesMovesAndPublishing) {
    ASSERT_TRUE(m_store.InsertPublishedArticle(kFolderSent, "me", Post("777", "published")));
    const int id = static_cast<int>(m_store.GetLastInsertId());
    ASSERT_TRUE(m_store.CopyArticle(id, kFolderDrafts, "me"));
    const int copyId = static_cast<int>(m_store.GetLastInsertId());
    EXPECT_NE(copyId, id);
    ArticleRecord copy;
    ASSERT_TRUE(m_store.GetArticle(copyId, copy));
    EXPECT_EQ(copy.title, "published");
    EXPECT_EQ(copy.guid, "");

    ASSERT_TRUE(m_store.MoveArticle(copyId, kFolderTrash, "you"));
    EXPECT_EQ(Count(kFolderTrash, "you"), 1);
    ASSERT_TRUE(m_store.SetArticleFolder(copyId, kFolderDrafts));
    EXPECT_EQ(Count(kFolderDrafts, "you"), 1);
    ASSERT_TRUE(m_store.SetArticlePublished(copyId, kFolderSent, "888"));
    std::string guid;
    ASSERT_TRUE(m_store.GetArticleGuid(copyId, guid));
    EXPECT_EQ(guid, "888");
    EXPECT_EQ(Count(kFolderSent, "you"), 1);

    // Within the account the post id stays (publishing edits the post); to another account,
    // whose weblog does not hold that post, it goes.
    ASSERT_TRUE(m_store.MoveArticle(copyId, kFolderDrafts, "you"));
    ASSERT_TRUE(m_store.GetArticleGuid(copyId, guid));
    EXPECT_EQ(guid, "888");
    ASSERT_TRUE(m_store.MoveArticle(copyId, kFolderDrafts, "o'brien"));
    ASSERT_TRUE(m_store.GetArticleGuid(copyId, guid));
    EXPECT_EQ(guid, "");
    ArticlePlace place;
    ASSERT_TRUE(m_store.GetArticlePlace(copyId, place));
    EXPECT_EQ(place.account, "o'brien");
    EXPECT_EQ(place.folder, kFolderDrafts);
    const StoreResult noPlace = m_store.GetArticlePlace(9999, place);
    EXPECT_FALSE(noPlace);
    EXPECT_EQ(noPlace.reason, "没有对应id的文章");

    ArticleRecord missing;
    const StoreResult noArticle = m_store.GetArticle(9999, missing);
    EXPECT_FALSE(noArticle);
    EXPECT_EQ(noArticle.reason, "没有对应id的文章");
    const StoreResult noCopy = m_store.CopyArticle(9999, kFolderDrafts, "me");
    EXPECT_FALSE(noCopy);
    EXPECT_EQ(noCopy.reason, "没有对应id的文章");
}

TEST_F(ArticleDatabaseTest, DatesAndCategoriesOfStoredArticles) {
    ArticleRecord undated = Post("1", "undated");
    undated.pubDate.clear();
    ASSERT_TRUE(m_store.InsertPublishedArticle(kFolderSent, "me", undated));
    EXPECT_TRUE(std::regex_match(Folder(kFolderSent, "me")[0].pubDate,
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));

    // Fetched posts pass through the date routine given to the store.
    m_store.SetDateNormalizer([](std::string& date) { date = "normalised " + date; });
    ArticleRecord fetched = Post("2", "fetched");
    fetched.pubDate = "Tue, 07 Mar 2006 09:05:00 GMT";
    ASSERT_TRUE(m_store.InsertReceivedArticles(kFolderReceived, "me", {fetched}));
    EXPECT_EQ(Folder(kFolderReceived, "me")[0].pubDate, "normalised Tue, 07 Mar 2006 09:05:00 GMT");

    // A folder's categories are appended to the list given, once per text.
    ASSERT_TRUE(m_store.InsertReceivedArticles(kFolderDrafts, "me",
                                               {Post("1", "a", "生活"), Post("2", "b", ""),
                                                Post("3", "c", "生活"), Post("4", "d", "技术")}));
    std::vector<std::string> list = {"默认"};
    ASSERT_TRUE(m_store.GetFolderCategories(kFolderDrafts, "me", list));
    EXPECT_EQ(list, (std::vector<std::string>{"默认", "生活", "", "技术"}));
}

TEST_F(ArticleDatabaseTest, DeletingByArticleFolderAndAccount) {
    for (int folder = kFolderReceived; folder <= kFolderTrash; ++folder) {
        ASSERT_TRUE(m_store.InsertArticle(folder, "me", Post("", "mine")));
        ASSERT_TRUE(m_store.InsertArticle(folder, "you", Post("", "yours")));
    }
    ASSERT_TRUE(m_store.DeleteFolderArticles(kFolderTrash, "you"));
    EXPECT_EQ(Count(kFolderTrash, "you"), 0);
    EXPECT_EQ(Count(kFolderTrash, "me"), 1);
    ASSERT_TRUE(m_store.DeleteAccountArticles("me"));
    for (int folder = kFolderReceived; folder <= kFolderTrash; ++folder)
        EXPECT_EQ(Count(folder, "me"), 0);
    EXPECT_EQ(Count(kFolderDrafts, "you"), 1);
    const int id = Folder(kFolderDrafts, "you")[0].id;
    ASSERT_TRUE(m_store.DeleteArticle(id));
    EXPECT_EQ(Count(kFolderDrafts, "you"), 0);
}

TEST_F(ArticleDatabaseTest, CompactionShrinksTheFile) {
    const std::string big(200000, 'x');
    for (int i = 0; i < 20; ++i) {
        ArticleRecord record = Post("", "big");
        record.content = big;
        ASSERT_TRUE(m_store.InsertArticle(kFolderTrash, "me", record));
    }
    ASSERT_TRUE(Done(m_store.Exec("PRAGMA wal_checkpoint(TRUNCATE);")));
    const auto before = std::filesystem::file_size(m_store.GetPath());
    ASSERT_TRUE(m_store.DeleteFolderArticles(kFolderTrash, "me"));
    const StoreResult compacted = m_store.CompactDatabase();
    ASSERT_TRUE(compacted) << compacted.reason;
    EXPECT_LT(std::filesystem::file_size(m_store.GetPath()), before / 10);
}

TEST(ArticleDatabaseLegacy, AnOlderFileIsUsedAsItIsWithGbkTextsAndGetsItsIndex) {
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/blog.db";
    const std::string account = "我的博客";
    {
        CSqlDatabase old;
        old.Open(path);
        old.ExecuteUpdate("CREATE TABLE blog_article (log_id INTEGER PRIMARY KEY, log_property "
                          "INTEGER, log_author VARCHAR(50), log_guid VARCHAR(50), log_title "
                          "TEXT, log_category TEXT, log_content TEXT, log_pubDate DATETIME);");
        CSqlStatement insert = old.CompileStatement(
            "INSERT INTO blog_article (log_property, log_author, log_guid, log_title, "
            "log_category, log_content, log_pubDate) VALUES (1, ?1, '9', ?2, ?3, 'x', "
            "'2006-03-07 09:05:00');");
        insert.Bind(1, CTextCodec::Utf8ToGbk(account))
            .Bind(2, CTextCodec::Utf8ToGbk("旧的标题"))
            .Bind(3, CTextCodec::Utf8ToGbk("生活"))
            .ExecDML();
    }
    {
        CArticleDatabase store(path);
        ASSERT_TRUE(Done(store.OpenStore()));
        EXPECT_EQ(IndexNames(store.Db()), std::vector<std::string>{"indexauthor"});
        ASSERT_TRUE(store.InsertReceivedArticles(1, account, {Post("10", "新的标题", "生活")}));
        int n = 0;
        ASSERT_TRUE(store.CountArticles(1, account, n));
        EXPECT_EQ(n, 2);
        std::vector<ArticleRecord> list;
        ASSERT_TRUE(store.GetArticlePage(1, account, list, 10, 0));
        EXPECT_EQ(Titles(list), (std::vector<std::string>{"旧的标题", "新的标题"}));
        std::vector<std::string> categories;
        ASSERT_TRUE(store.GetFolderCategories(1, account, categories));
        EXPECT_EQ(categories, std::vector<std::string>{"生活"});
        // Its place names the account as it is written now.
        ArticlePlace place;
        ASSERT_TRUE(store.GetArticlePlace(1, place));
        EXPECT_EQ(place.account, account);
        EXPECT_EQ(place.folder, 1);
        // The refresh replaces the old copy although it was written in GBK.
        ASSERT_TRUE(store.ReplaceReceivedArticles(1, account, {Post("9", "再次收取")}));
        ASSERT_TRUE(store.CountArticles(1, account, n));
        EXPECT_EQ(n, 2);
        // The file gained the tags column: its articles have none, and tags are kept now.
        ArticleRecord record;
        ASSERT_TRUE(store.GetArticle(list[1].id, record));
        EXPECT_EQ(record.tags, "");
        record.tags = "旅行, 摄影";
        ASSERT_TRUE(store.UpdateArticle(record.id, record));
    }
    {
        // A second opening finds the column and changes nothing.
        CArticleDatabase store(path);
        ASSERT_TRUE(Done(store.OpenStore()));
        std::vector<ArticleRecord> list;
        ASSERT_TRUE(store.GetArticlePage(1, account, list, 10, 0));
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(list[0].title + "|" + list[0].tags, "新的标题|旅行, 摄影");
    }
    RemoveTree(dir);
}

TEST(ArticleAndFeedStores, CreateStoresGivesANewProgramDirectoryBothFiles) {
    // The stores go to the directory of the context given, whatever this process's own is.
    CTempHome processHome({.seed = false, .processDir = true});
    const std::string dir = MakeTempDir();
    const CAppContext context(dir);
    std::string error;
    ASSERT_EQ(CLocalStores::CreateStores(context, error), 1) << error;
    // A second start finds everything in place.
    ASSERT_EQ(CLocalStores::CreateStores(context, error), 1) << error;
    EXPECT_FALSE(std::filesystem::exists(processHome.File("Storage")));

    CArticleDatabase articles(context);
    ASSERT_TRUE(Done(articles.OpenStore()));
    EXPECT_EQ(articles.GetPath(), dir + "/Storage/blog.db");
    EXPECT_EQ(IndexNames(articles.Db()), std::vector<std::string>{"indexauthor"});

    CFeedDatabase feeds(context);
    ASSERT_TRUE(Done(feeds.OpenStore()));
    EXPECT_EQ(feeds.GetPath(), dir + "/Storage/rss.db");
    std::vector<std::string> tables;
    for (CSqlQuery rows = feeds.Db().ExecuteQuery(
             "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
             "AND name NOT LIKE 'rss\\_search\\_%' ESCAPE '\\' ORDER BY name;");
         !rows.IsEnd(); rows.Next())
        tables.push_back(rows.GetText(0));
    EXPECT_EQ(tables, (std::vector<std::string>{"feed_data", "feed_standing", "feed_validators",
                                                "feedfav_data", "rss_data", "rss_enclosure",
                                                "rss_search", "rssfavorite_data",
                                                "rssfavorite_enclosure", "rsstemp_data"}));
    RemoveTree(dir);
}
