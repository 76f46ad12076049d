// The full-text index must give exactly what a LIKE scan of the items gives, whatever happened to
// the items since it was built (for keywords that begin a word, as the index reads words).
#include "storage/FeedSearchIndex.h"
#include "storage/FeedDatabase.h"
#include "storage/SearchTokenizer.h"
#include "storage/StoreSql.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

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
// FTS5's own syntax, letters whose case only Unicode folds, Chinese of one, two and three
// characters, and keywords without any word.
const std::vector<std::string> kKeywords = {"rock",       "ROCK'N",  "n'roll",
                                            "100%",       "_x_",     "a\\b",
                                            "say \"hi\"", "ärger",   "ÄRGER",
                                            "Ärg",        "新闻联",  "联播",
                                            "新",         "妙笔生",  "妙笔",
                                            "ro",         "Q",       "zzz",
                                            "quill",      "Quill ",  "标题 A",
                                            "x_y",        "%",       "题 abc",
                                            "ΣΊΣΥΦΟΣ",    "σίσυφος", "\"",
                                            "rock*",      "AND",     "NEAR(rock",
                                            "rock OR",    "-quill",  "item_title:rock",
                                            "(新闻",      "^rock",   "'"};

class FeedSearchIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Done(m_store.OpenStore()));
        for (int i = 1; i <= 3; ++i) {
            int id = 0;
            ASSERT_TRUE(m_store.AddFeed("http://channel/" + std::to_string(i), id));
        }
        Receive(1, {Item("1", "Rock'n'Roll news", "新闻联播 tonight"),
                    Item("2", "100% sure", "a\\b and x_y"), Item("3", "Ärger im Amt", "ärger"),
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
        ASSERT_TRUE(Done(m_store.SaveReceivedItems(feedId, items, StorageRule::kKeepAll, 0)));
    }
    // Every batch of the index's catch-up fails from now on, as on a full disk.
    void FailCatchUp() {
        ASSERT_TRUE(
            Done(m_store.Exec("CREATE TRIGGER fail_catch_up BEFORE DELETE ON rss_search_pending "
                              "BEGIN SELECT RAISE(ABORT, 'disk full'); END;")));
    }

public:
    // What the plain scan finds, by the LIKE condition alone.
    static std::vector<int> ScanFor(CFeedDatabase& store, const std::string& keyword,
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

protected:
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
                EXPECT_TRUE(Done(store.SearchItems(keyword, found, feeds, all, inDescription)));
                EXPECT_EQ(Ids(found), ScanFor(store, keyword, feeds, all, inDescription))
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
    ASSERT_TRUE(m_store.SearchItems("ärger", found, {}, true, false));
    EXPECT_TRUE(found.empty()); // only ASCII letters are taken in either case
    ASSERT_TRUE(m_store.SearchItems("rock'n", found, {}, true, true));
    EXPECT_EQ(found.size(), 2u);
    ASSERT_TRUE(m_store.SearchItems("新闻联", found, {1}, false, false));
    EXPECT_TRUE(found.empty());
    ASSERT_TRUE(m_store.SearchItems("新闻联", found, {1}, false, true));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].link, "1");
}

TEST_F(FeedSearchIndexTest, StaysInStepWithEveryChangeOfTheItems) {
    // A merge that trims, an edited title, a removed channel, cleaning, a cleared channel and
    // the upkeep tool: after each the index still agrees with the scan.
    ASSERT_TRUE(m_store.SaveReceivedItems(1, {Item("9", "rock again", "ärger")},
                                          StorageRule::kKeepNewest, 2));
    ExpectSameAsScan(m_store);
    ASSERT_TRUE(
        Done(m_store.Exec("UPDATE rss_data SET item_title = 'zzz quill', item_description = "
                          "'新' WHERE item_link = '5';")));
    ExpectSameAsScan(m_store);
    std::vector<FeedItem> found;
    ASSERT_TRUE(m_store.SearchItems("新闻联", found, {}, true, true));
    EXPECT_EQ(found.size(), 1u);
    ASSERT_TRUE(m_store.SetFeedRead(2, 1));
    ASSERT_TRUE(m_store.CleanItems({2}, 0, false));
    ExpectSameAsScan(m_store);
    ASSERT_TRUE(m_store.SearchItems("zzz", found, {}, true, false));
    EXPECT_TRUE(found.empty());
    ASSERT_TRUE(m_store.DeleteFeedItems({3}));
    ExpectSameAsScan(m_store);
    ASSERT_TRUE(m_store.DeleteFeeds({1}));
    Receive(3, {Item("10", "Rock back", "妙笔生花")});
    ASSERT_TRUE(m_store.CompactStore());
    // The upkeep tool read the index again: nothing is left queued.
    int64_t pending = -1;
    ASSERT_TRUE(m_store.CatchUpSearchIndex(0, &pending));
    EXPECT_EQ(pending, 0);
    ExpectSameAsScan(m_store);
    ASSERT_TRUE(m_store.SearchItems("妙笔生", found, {}, true, true));
    EXPECT_EQ(found.size(), 1u);
    // The index agrees with the rows it describes.
    EXPECT_TRUE(
        Done(m_store.Exec("INSERT INTO rss_search (rss_search) VALUES ('integrity-check');")));
}

TEST_F(FeedSearchIndexTest, KeywordsWithWordsAreLookedUpInTheIndexFromAWordsBeginning) {
    // The index reads words and their beginnings as a reader sees them: the inside of a word and
    // markup are not looked in, though the scan would find them there.
    Receive(3, {Item("12", "Quillmark 手机",
                     "<a href=\"http://secret.example/\">Caf&eacute; &amp; 茶</a><script>hidden"
                     "</script>")});
    std::vector<FeedItem> found;
    for (const char* inside : {"ock", "illmark", "secret", "hidden", "href"}) {
        ASSERT_TRUE(m_store.SearchItems(inside, found, {}, true, true));
        EXPECT_TRUE(found.empty()) << inside;
    }
    for (const char* visible : {"Caf", "茶", "手机", "Quillmark 手", "rock"}) {
        ASSERT_TRUE(m_store.SearchItems(visible, found, {}, true, true));
        EXPECT_FALSE(found.empty()) << visible;
    }
    // With the index emptied behind the store's back, only a keyword without words still finds
    // anything: by the scan.
    ASSERT_TRUE(m_store.CatchUpSearchIndex(1000));
    ASSERT_TRUE(Done(m_store.Exec("INSERT INTO rss_search (rss_search) VALUES ('delete-all');")));
    for (const char* keyword : {"rock", "新闻联", "联播", "新", "R"}) {
        ASSERT_TRUE(m_store.SearchItems(keyword, found, {}, true, true));
        EXPECT_TRUE(found.empty()) << keyword;
    }
    ASSERT_TRUE(m_store.SearchItems("%", found, {}, true, true));
    EXPECT_EQ(found.size(), 2u);
}

TEST_F(FeedSearchIndexTest, RefusesKeywordsThatAreNoText) {
    std::vector<FeedItem> found;
    for (const std::string keyword :
         {std::string("rock\x01"), std::string("\xFFrock"), std::string("新\xE6"),
          std::string("a\tb"), std::string("\xC0\xAF")}) {
        EXPECT_EQ(m_store.SearchItems(keyword, found, {}, true, true).reason,
                  CFeedDatabase::kInvalidKeywordText);
    }
}

TEST_F(FeedSearchIndexTest, QueuedRowsAreFoundAndACatchUpThatFailsLosesNothing) {
    // Receiving only queues the rows; a catch-up folds them in a batch at a time.
    int64_t pending = 0;
    ASSERT_TRUE(m_store.CatchUpSearchIndex(0, &pending));
    EXPECT_EQ(pending, 8);
    ASSERT_TRUE(Done(m_store.CatchUpSearchIndex(3, &pending)));
    EXPECT_EQ(pending, 5);
    // Every later batch fails, the search's own catch-up too: the search reads the queue.
    FailCatchUp();
    EXPECT_NE(m_store.CatchUpSearchIndex(100).reason.find("disk full"), std::string::npos);
    ASSERT_TRUE(Done(m_store.Exec("DROP TRIGGER fail_catch_up;")));
    // The failed batch left the index and the queue as they were.
    EXPECT_TRUE(
        Done(m_store.Exec("INSERT INTO rss_search (rss_search) VALUES ('integrity-check');")));
    ASSERT_TRUE(m_store.CatchUpSearchIndex(0, &pending));
    EXPECT_EQ(pending, 5);
    FailCatchUp();
    EXPECT_GT(ExpectSameAsScan(m_store), 40u);
    ASSERT_TRUE(Done(m_store.Exec("DROP TRIGGER fail_catch_up;")));
    // Deleting an indexed row (1) and a queued one (5), and changing both kinds.
    ASSERT_TRUE(Done(m_store.Exec("DELETE FROM rss_data WHERE item_link IN ('1', '5');"
                                  "UPDATE rss_data SET item_title = 'rock and quill' "
                                  "WHERE item_link IN ('2', '6');")));
    Receive(3, {Item("11", "新闻联播 rock", "")});
    // The index still holds the old texts of rows 1 and 2; the search must not show them.
    FailCatchUp();
    ASSERT_TRUE(Done(m_store.Exec("CREATE TRIGGER fail_gone BEFORE DELETE ON rss_search_gone "
                                  "BEGIN SELECT RAISE(ABORT, 'disk full'); END;")));
    ExpectSameAsScan(m_store);
    ASSERT_TRUE(Done(m_store.Exec("DROP TRIGGER fail_catch_up; DROP TRIGGER fail_gone;")));
    ASSERT_TRUE(Done(m_store.CatchUpSearchIndex(100, &pending)));
    EXPECT_EQ(pending, 0);
    ExpectSameAsScan(m_store);
    EXPECT_TRUE(
        Done(m_store.Exec("INSERT INTO rss_search (rss_search) VALUES ('integrity-check');")));
}

TEST(FeedSearchIndexOpenTest, AStoreWithTheTrigramIndexQueuesItsRowsOnOpen) {
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
        // The trigram index of earlier versions, whole, with its queue and triggers.
        db.ExecuteUpdate(
            "CREATE VIRTUAL TABLE rss_search USING fts5(item_title, item_description, "
            "content='rss_data', content_rowid='item_id', tokenize='trigram case_sensitive 0', "
            "detail='column', columnsize=0);"
            "INSERT INTO rss_search (rss_search) VALUES ('rebuild');"
            "CREATE TABLE rss_search_pending (id INTEGER PRIMARY KEY);"
            "CREATE TABLE rss_search_gone (seq INTEGER PRIMARY KEY, id INTEGER, item_title TEXT, "
            "item_description TEXT);"
            "CREATE TRIGGER rss_search_insert AFTER INSERT ON rss_data BEGIN SELECT 1; END;"
            "CREATE TRIGGER rss_search_delete AFTER DELETE ON rss_data BEGIN SELECT 1; END;"
            "CREATE TRIGGER rss_search_update AFTER UPDATE ON rss_data BEGIN SELECT 1; END;");
    }
    {
        CFeedDatabase store(path);
        ASSERT_TRUE(Done(store.OpenStore()));
        // The open only queues the rows and sets the old index aside; the index fills later,
        // and the old one is taken apart then.
        int64_t pending = 0;
        ASSERT_TRUE(store.CatchUpSearchIndex(0, &pending));
        EXPECT_GT(pending, 3);
        ASSERT_TRUE(Done(store.Exec("SELECT 1 FROM rss_search_old_data;")));
        std::vector<FeedItem> found;
        ASSERT_TRUE(store.SearchItems("quill", found, {}, true, true));
        EXPECT_EQ(found.size(), 2u);
        ASSERT_TRUE(store.SearchItems("妙笔生", found, {1}, false, false));
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].link, "x");
        ASSERT_TRUE(Done(store.CatchUpSearchIndex(1000, &pending)));
        EXPECT_EQ(pending, 0);
        EXPECT_FALSE(store.Exec("SELECT 1 FROM rss_search_old_data;"));
        EXPECT_TRUE(
            Done(store.Exec("INSERT INTO rss_search (rss_search) VALUES ('integrity-check');")));
    }
    RemoveTree(dir);
}

namespace {

// The tokens of the text, sorted (their order does not matter to the index).
std::vector<std::string> Tokens(const std::string& text, CSearchTokenizer::Purpose purpose) {
    CSqlDatabase db;
    db.Open(":memory:");
    const CSearchTokenizer tokenizer(db.Handle());
    std::vector<std::string> tokens;
    EXPECT_EQ(tokenizer.Tokenize(text, purpose,
                                 [&](const CSearchTokenizer::Token& token) {
                                     tokens.emplace_back(token.text);
                                     return 0;
                                 }),
              0);
    std::sort(tokens.begin(), tokens.end());
    return tokens;
}

using Strings = std::vector<std::string>;

Strings Sorted(Strings tokens) {
    std::sort(tokens.begin(), tokens.end());
    return tokens;
}

} // namespace

TEST(SearchTokenizerTest, ReadsWordsAndPairsOfIdeographsAsAReaderSeesTheText) {
    const auto document = CSearchTokenizer::Purpose::kDocument;
    // Chinese: overlapping pairs and the run's last character.
    EXPECT_EQ(Tokens("中国人民，银行", document),
              Sorted({"中国", "国人", "人民", "民", "银行", "行"}));
    // Japanese: kanji, kana and the long-vowel mark are one run.
    EXPECT_EQ(Tokens("東京タワー", document), Sorted({"東京", "京タ", "タワ", "ワー", "ー"}));
    // Mixed: words folded to lower case with their diacritics, digits as words.
    EXPECT_EQ(Tokens("用iPhone 15拍照 Café ΣΊΣΥΦΟΣ Ёлка", document),
              Sorted({"15", "café", "iphone", "ёлка", "σίσυφοσ", "拍照", "照", "用"}));
    // HTML: tags, attributes, comments, scripts and styles skipped; references decoded.
    EXPECT_EQ(Tokens("<p class=\"lead\" title='x > y'>Caf&eacute; &amp; &#x8336;&#21494;</p>"
                     "<!-- 注释 --><script>var 秘密 = 1;</script><STYLE>p{}</STYLE>a&lt;b&zzz;",
                     document),
              Sorted({"a", "b", "café", "zzz", "茶叶", "叶"}));
    // Emoji and other symbols separate; invalid UTF-8 and control characters too.
    EXPECT_EQ(Tokens("好😀吃 fun🎉time", document), Sorted({"fun", "time", "好", "吃"}));
    EXPECT_EQ(Tokens("ab\xFF\xFE"
                     "cd 中\x80文\x01x \xE4\xB8",
                     document),
              Sorted({"ab", "cd", "x", "中", "文"}));
    // A keyword gives only its pairs, or its one character.
    const auto query = CSearchTokenizer::Purpose::kQuery;
    EXPECT_EQ(Tokens("中国人", query), Sorted({"中国", "国人"}));
    EXPECT_EQ(Tokens("国 <b>Word", query), Sorted({"b", "word", "国"}));
}

TEST(FeedSearchIndexCorpusTest, FindsWhatTheScanFindsForGeneratedKeywords) {
    // Mixed Chinese and English items, in HTML, and 200 keywords drawn from their text: runs of
    // one to five ideographs, words and their beginnings, and the two together.
    const std::vector<std::string> chinese = {"手机",   "苹果",     "中国",       "疫情", "经济",
                                              "发布会", "人工智能", "新能源汽车", "股市", "天气",
                                              "教育",   "世界杯",   "芯片",       "上海", "北京",
                                              "的",     "了",       "和",         "在",   "大数据"};
    const std::vector<std::string> english = {
        "Apple",  "banana", "cherry", "delta", "Echo", "foxtrot",  "golf",  "hotel",
        "India",  "juliet", "kilo",   "lima",  "Mike", "november", "oscar", "papa",
        "quebec", "romeo",  "sierra", "tango", "2024", "café",     "Über"};
    std::mt19937 random(28);
    const auto pick = [&random](const std::vector<std::string>& from) {
        return from[random() % from.size()];
    };
    const auto sentence = [&](int words) {
        std::string text;
        for (int i = 0; i < words; ++i) {
            if (random() % 3 == 0)
                text += " " + pick(english) + " ";
            else
                text += pick(chinese);
        }
        return text;
    };
    const std::string dir = MakeTempDir();
    CFeedDatabase store(dir + "/rss.db");
    ASSERT_TRUE(Done(store.OpenStore()));
    for (int feed = 1; feed <= 3; ++feed) {
        int id = 0;
        ASSERT_TRUE(store.AddFeed("http://channel/" + std::to_string(feed), id));
        std::vector<FeedItem> items;
        for (int i = 0; i < 100; ++i)
            items.push_back(Item(std::to_string(feed * 1000 + i), sentence(4),
                                 "<p>" + sentence(8) + "</p><a href=\"http://x.example/item\">" +
                                     sentence(3) + "</a>"));
        ASSERT_TRUE(store.SaveReceivedItems(feed, items, StorageRule::kKeepAll, 0));
    }
    ASSERT_TRUE(store.CatchUpSearchIndex(1000));
    // Beginnings of words that no other word holds inside (in either case), so that the scan
    // finds them only where a word begins.
    const auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    std::vector<std::string> beginnings;
    for (const std::string& word : english) {
        for (size_t length = 2; length <= word.size(); ++length) {
            if (length < word.size() && (static_cast<unsigned char>(word[length]) & 0xC0) == 0x80)
                continue; // not a character's end
            const std::string start = word.substr(0, length);
            if (std::none_of(english.begin(), english.end(), [&](const std::string& other) {
                    const size_t at = lower(other).find(lower(start));
                    return at != std::string::npos && at > 0;
                }))
                beginnings.push_back(start);
        }
    }
    std::set<std::string> keywords;
    while (keywords.size() < 200) {
        const std::string run = sentence(3);
        std::vector<size_t> starts; // the characters of the run, where they begin
        for (size_t i = 0; i < run.size(); ++i) {
            if ((static_cast<unsigned char>(run[i]) & 0xC0) != 0x80 && run[i] != ' ')
                starts.push_back(i);
        }
        switch (random() % 4) {
        case 0: { // one to five ideographs
            const size_t length = 1 + random() % 5;
            const std::string ideographs = pick(chinese) + pick(chinese);
            const size_t chars = ideographs.size() / 3;
            const size_t from = random() % chars;
            keywords.insert(ideographs.substr(from * 3, std::min(length, chars - from) * 3));
            break;
        }
        case 1:
            keywords.insert(pick(beginnings));
            break;
        case 2:
            keywords.insert(pick(english) + " " + pick(beginnings));
            break;
        default:
            keywords.insert(random() % 2 ? pick(chinese) + " " + pick(beginnings)
                                         : pick(english) + " " + pick(chinese));
        }
    }
    size_t hits = 0;
    for (const std::string& keyword : keywords) {
        for (const bool inDescription : {false, true}) {
            std::vector<FeedItem> found;
            ASSERT_TRUE(Done(store.SearchItems(keyword, found, {}, true, inDescription)))
                << keyword;
            const std::vector<int> expected =
                FeedSearchIndexTest::ScanFor(store, keyword, {}, true, inDescription);
            EXPECT_EQ(Ids(found), expected) << keyword << ", descriptions " << inDescription;
            hits += found.size();
            // A page and the count come from the same search.
            std::vector<FeedItem> page;
            int total = -1;
            ASSERT_TRUE(store.SearchItemPage({.text = keyword, .inDescription = inDescription}, 2,
                                             5, page, total));
            EXPECT_EQ(total, static_cast<int>(expected.size()));
            const size_t from = std::min<size_t>(2, expected.size());
            EXPECT_EQ(Ids(page),
                      std::vector<int>(expected.begin() + from,
                                       expected.begin() + std::min(from + 5, expected.size())))
                << keyword << ", descriptions " << inDescription;
        }
    }
    EXPECT_GT(hits, 2000u);
    store.CloseStore();
    RemoveTree(dir);
}

TEST(FeedSearchIndexOpenTest, AFoldKilledHalfWayLeavesTheStoreWholeAndItsRowsFound) {
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/rss.db";
    {
        CFeedDatabase store(path);
        ASSERT_TRUE(Done(store.OpenStore()));
        int id = 0;
        ASSERT_TRUE(store.AddFeed("http://a", id));
        std::vector<FeedItem> items;
        for (int i = 0; i < 20000; ++i)
            items.push_back(Item(std::to_string(i), "手机新闻 " + std::to_string(i),
                                 "<p>苹果 发布 quillmark " + std::to_string(i % 7) + "</p>"));
        ASSERT_TRUE(store.SaveReceivedItems(id, items, StorageRule::kKeepAll, 0));
    }
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The fold of a receive, killed while it writes.
        CFeedDatabase store(path);
        store.OpenStore();
        const char byte = 1;
        (void)!write(ready[1], &byte, 1);
        for (;;)
            store.CatchUpSearchIndex(CFeedSearchIndex::kCatchUpBatch);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    close(ready[1]);
    CFeedDatabase store(path);
    ASSERT_TRUE(Done(store.OpenStore()));
    EXPECT_TRUE(Done(store.CheckIntegrity()));
    EXPECT_TRUE(
        Done(store.Exec("INSERT INTO rss_search (rss_search) VALUES ('integrity-check');")));
    std::vector<FeedItem> found;
    ASSERT_TRUE(store.SearchItems("苹果", found, {}, true, true));
    EXPECT_EQ(found.size(), 20000u);
    ASSERT_TRUE(store.SearchItems("新闻 1999", found, {}, true, false));
    EXPECT_EQ(found.size(), 11u); // 1999 and 19990 to 19999
    store.CloseStore();
    RemoveTree(dir);
}
