#include "storage/FeedDatabase.h"
#include "platform/text/TextCodec.h"
#include "storage/FeedMerge.h"
#include "storage/MergeFilter.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Strings = std::vector<std::string>;

FeedItem Item(const std::string& link, const std::string& title = "",
              const std::string& description = "") {
    FeedItem item;
    item.link = link;
    item.title = title.empty() ? "title of " + link : title;
    item.description = description;
    item.author = "author";
    item.pubDate = "2024-05-01 08:00:00";
    return item;
}

std::vector<FeedItem> Download(std::initializer_list<const char*> links) {
    std::vector<FeedItem> items;
    for (const char* link : links)
        items.push_back(Item(link));
    return items;
}

std::vector<std::string> Links(const std::vector<FeedItem>& items) {
    std::vector<std::string> links;
    for (const FeedItem& item : items)
        links.push_back(item.link.empty() ? item.title : item.link);
    return links;
}

// Every row of a table, every column, as text: to see that nothing at all changed.
std::string Dump(CSqlDatabase& db, const std::string& table) {
    std::string text;
    for (CSqlQuery rows = db.ExecuteQuery("SELECT * FROM " + table + " ORDER BY rowid;");
         !rows.IsEnd(); rows.Next()) {
        for (int i = 0; i < rows.ColumnCount(); ++i)
            text += rows.GetText(i, "NULL") + "|";
        text += "\n";
    }
    return text;
}

// A store with no channel yet.
class EmptyFeedDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Done(m_store.OpenStore())); }
    void TearDown() override {
        m_store.CloseStore();
        RemoveTree(m_dir);
    }
    std::vector<FeedItem> Page(int feedId, ItemFilter filter = ItemFilter::kAll, bool full = true) {
        std::vector<FeedItem> items;
        int total = -1;
        EXPECT_TRUE(Done(m_store.GetItemPage(feedId, filter, full, items, total, 1000, 0)));
        EXPECT_EQ(total, static_cast<int>(items.size()));
        return items;
    }
    std::vector<std::string> LinksOf(int feedId, ItemFilter filter = ItemFilter::kAll) {
        return Links(Page(feedId, filter));
    }
    std::string m_dir = MakeTempDir();
    CFeedDatabase m_store{m_dir + "/rss.db"};
};

// A store with the channels 1 to 4: items are stored only for channels that exist.
class FeedDatabaseTest : public EmptyFeedDatabaseTest {
protected:
    void SetUp() override {
        EmptyFeedDatabaseTest::SetUp();
        for (int i = 1; i <= 4; ++i) {
            int id = 0;
            ASSERT_TRUE(m_store.AddFeed("http://channel/" + std::to_string(i), id));
            ASSERT_EQ(id, i);
        }
    }
};

} // namespace

// ---- The merge ----

TEST_F(FeedDatabaseTest, NewItemsArriveNewAndUnreadInTheDownloadsOrderAboveOlderOnes) {
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"a", "b"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"c", "d", "a"}), StorageRule::kKeepAll, 0));
    const std::vector<FeedItem> items = Page(1);
    EXPECT_EQ(Links(items), (Strings{"c", "d", "a", "b"}));
    for (const FeedItem& item : items) {
        EXPECT_EQ(item.isNew, 1);
        EXPECT_EQ(item.isRead, 0);
        EXPECT_EQ(item.feedId, 1);
    }
    EXPECT_EQ(Links(Page(2)), Strings{});
}

TEST_F(FeedDatabaseTest, AKnownLinkIsNeverUpdatedAndKeepsItsReadState) {
    ASSERT_TRUE(m_store.SaveReceivedItems(1, {Item("a", "old title")}, StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SetFeedRead(1, 1));
    ASSERT_TRUE(m_store.SaveReceivedItems(1, {Item("a", "new title"), Item("b")},
                                          StorageRule::kKeepAll, 0));
    const std::vector<FeedItem> items = Page(1);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].title, "old title");
    EXPECT_EQ(items[1].isRead, 1);
    EXPECT_EQ(items[0].isRead, 0);
    // The same link in another channel is another item.
    ASSERT_TRUE(m_store.SaveReceivedItems(2, {Item("a")}, StorageRule::kKeepAll, 0));
    EXPECT_EQ(LinksOf(2), Strings{"a"});
    // Two items of one download with one link are both stored, once.
    ASSERT_TRUE(m_store.SaveReceivedItems(3, Download({"x", "x"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SaveReceivedItems(3, Download({"x", "x"}), StorageRule::kKeepAll, 0));
    EXPECT_EQ(LinksOf(3), (Strings{"x", "x"}));
}

TEST_F(FeedDatabaseTest, StorageRules) {
    // 1: only what the source lists stays, read or not; an empty download empties the channel.
    ASSERT_TRUE(
        m_store.SaveReceivedItems(1, Download({"a", "b", "c"}), StorageRule::kSyncWithSource, 0));
    ASSERT_TRUE(m_store.SetFeedRead(1, 1));
    ASSERT_TRUE(m_store.SaveReceivedItems(2, Download({"a", "b"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(
        m_store.SaveReceivedItems(1, Download({"d", "b"}), StorageRule::kSyncWithSource, 0));
    EXPECT_EQ(LinksOf(1), (Strings{"d", "b"}));
    ASSERT_TRUE(m_store.SaveReceivedItems(1, {}, StorageRule::kSyncWithSource, 0));
    EXPECT_EQ(LinksOf(1), Strings{});
    EXPECT_EQ(LinksOf(2), (Strings{"a", "b"}));

    // 2: the storageNum newest stay; a count of 0 or above the number held removes nothing.
    ASSERT_TRUE(
        m_store.SaveReceivedItems(3, Download({"c", "b", "a"}), StorageRule::kKeepNewest, 0));
    EXPECT_EQ(LinksOf(3).size(), 3u);
    ASSERT_TRUE(m_store.SaveReceivedItems(3, Download({"d"}), StorageRule::kKeepNewest, 10));
    EXPECT_EQ(LinksOf(3).size(), 4u);
    ASSERT_TRUE(m_store.SaveReceivedItems(3, Download({"e"}), StorageRule::kKeepNewest, 2));
    EXPECT_EQ(LinksOf(3), (Strings{"e", "d"}));

    // Anything else keeps everything, a value an older store may hold included.
    const StorageRule unknown = static_cast<StorageRule>(7);
    for (StorageRule rule : {StorageRule::kDefault, StorageRule::kKeepAll, unknown})
        ASSERT_TRUE(m_store.SaveReceivedItems(4, Download({"z"}), rule, 1));
    ASSERT_TRUE(m_store.SaveReceivedItems(4, Download({"y"}), unknown, 1));
    EXPECT_EQ(LinksOf(4), (Strings{"y", "z"}));
}

TEST_F(FeedDatabaseTest, AMergeThatFailsPartWayLeavesTheStoreExactlyAsBefore) {
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"a", "b", "c"}), StorageRule::kKeepAll, 0));
    std::vector<FeedItem> search = Download({"s1", "s2"});
    ASSERT_TRUE(m_store.SaveTempItems(0, search));
    ASSERT_TRUE(m_store.SetItemRead(StoredItem(Page(1)[0].id), 1));
    ASSERT_TRUE(Done(
        m_store.Exec("CREATE TRIGGER refuse BEFORE INSERT ON rss_data "
                     "WHEN NEW.item_link = 'boom' BEGIN SELECT RAISE(ABORT, 'refused'); END;")));
    const std::string items = Dump(m_store.Db(), "rss_data");
    const std::string scratch = Dump(m_store.Db(), "rsstemp_data");

    EXPECT_NE(
        m_store
            .SaveReceivedItems(1, Download({"new", "boom", "b"}), StorageRule::kSyncWithSource, 0)
            .reason.find("refused"),
        std::string::npos);
    EXPECT_FALSE(m_store.Db().InTransaction());
    EXPECT_EQ(Dump(m_store.Db(), "rss_data"), items);
    EXPECT_EQ(Dump(m_store.Db(), "rsstemp_data"), scratch);
    // The next merge works on the untouched store.
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"new"}), StorageRule::kKeepAll, 0));
    EXPECT_EQ(LinksOf(1), (Strings{"new", "a", "b", "c"}));
}

TEST_F(FeedDatabaseTest, ASecondWriterWaitsForTheLockThenFailsBusyWithoutWritingAnything) {
    CFeedDatabase other(m_store.GetPath());
    ASSERT_TRUE(Done(other.OpenStore()));
    other.Db().SetBusyTimeout(100);
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"a"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(Done(m_store.BeginTransaction()));
    const StoreResult busy =
        other.SaveReceivedItems(1, Download({"b"}), StorageRule::kSyncWithSource, 0);
    EXPECT_EQ(busy.reason.rfind("SQLITE_BUSY", 0), 0u) << busy.reason;
    EXPECT_FALSE(other.Db().InTransaction());
    // Readers are not held up by the writer.
    int unread = 0;
    EXPECT_TRUE(other.GetUnreadCount(1, unread));
    EXPECT_EQ(unread, 1);
    ASSERT_TRUE(Done(m_store.CommitTransaction()));
    EXPECT_EQ(LinksOf(1), Strings{"a"});
    ASSERT_TRUE(other.SaveReceivedItems(1, Download({"b"}), StorageRule::kSyncWithSource, 0));
    EXPECT_EQ(LinksOf(1), Strings{"b"});
}

TEST_F(FeedDatabaseTest, AChannelRemovedWhileItIsReceivedGetsNothing) {
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"a"}), StorageRule::kKeepAll, 0));
    // The channel goes while its download is being read: the merge that then begins stores
    // nothing and says why.
    ASSERT_TRUE(m_store.DeleteFeeds({1}));
    EXPECT_NE(m_store.SaveReceivedItems(1, Download({"b", "c"}), StorageRule::kKeepAll, 0)
                  .reason.find("频道已被删除"),
              std::string::npos);
    EXPECT_FALSE(m_store.Db().InTransaction());
    EXPECT_EQ(Dump(m_store.Db(), "rss_data"), "");
    EXPECT_FALSE(m_store.SaveReceivedItems(99, Download({"x"}), StorageRule::kKeepAll, 0));
}

TEST_F(FeedDatabaseTest, ADownloadInPartsMergesLikeOneWholeAndFailsWhole) {
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"c", "old"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SaveReceivedItems(2, Download({"c", "old"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SetItemRead(StoredItem(Page(1).front().id), 1)); // "c" read, no longer new

    // Channel 1 in three parts, channel 2 whole: the same rows, the same order.
    CFeedMerge merge(m_store);
    ASSERT_TRUE(merge.Begin(1, StorageRule::kSyncWithSource, 0));
    for (auto part : {Download({"a", "b"}), Download({"c", "d"}), Download({"e"})}) {
        const StoreResult stored = merge.Add(part);
        ASSERT_TRUE(stored) << stored.reason;
    }
    int added = 0;
    const StoreResult committed = merge.Commit(&added);
    ASSERT_TRUE(committed) << committed.reason;
    EXPECT_EQ(added, 4);
    // A merge that is over takes no more parts, and says so.
    auto late = Download({"late"});
    const StoreResult refused = merge.Add(late);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.reason, "没有进行中的合并");
    ASSERT_TRUE(m_store.SaveReceivedItems(2, Download({"a", "b", "c", "d", "e"}),
                                          StorageRule::kSyncWithSource, 0, &added));
    EXPECT_EQ(added, 4);
    // The known "c" keeps its place; "old" is no longer listed.
    EXPECT_EQ(LinksOf(1), (Strings{"a", "b", "d", "e", "c"}));
    EXPECT_EQ(LinksOf(2), LinksOf(1));
    EXPECT_EQ(LinksOf(1, ItemFilter::kNew), (Strings{"a", "b", "d", "e"}));

    // A restart forgets the parts before it; a merge left unfinished keeps nothing.
    ASSERT_TRUE(merge.Begin(3, StorageRule::kKeepAll, 0));
    auto first = Download({"x", "y"});
    auto second = Download({"z"});
    ASSERT_TRUE(merge.Add(first));
    ASSERT_TRUE(merge.Add(second));
    ASSERT_TRUE(merge.Restart());
    auto again = Download({"y"});
    ASSERT_TRUE(merge.Add(again));
    ASSERT_TRUE(merge.Commit(&added));
    EXPECT_EQ(LinksOf(3), Strings{"y"});
    {
        CFeedMerge unfinished(m_store);
        ASSERT_TRUE(unfinished.Begin(4, StorageRule::kKeepAll, 0));
        auto part = Download({"p"});
        ASSERT_TRUE(unfinished.Add(part));
        part = Download({"q"});
        ASSERT_TRUE(unfinished.Add(part));
    }
    EXPECT_FALSE(m_store.Db().InTransaction());
    EXPECT_TRUE(LinksOf(4).empty());
}

TEST_F(FeedDatabaseTest, DeletingAndCompactingRemoveTheItemsOfChannelsThatAreGone) {
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"a", "b"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SaveReceivedItems(2, Download({"c"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SetFeedValidators(2, "\"e\"", ""));
    // What an older program left: the channel row gone, its items still there.
    ASSERT_TRUE(Done(m_store.Exec("DELETE FROM feed_data WHERE feed_id = 2;")));
    int removed = -1;
    ASSERT_TRUE(Done(m_store.CompactStore(&removed)));
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(LinksOf(1), (Strings{"a", "b"}));
    EXPECT_TRUE(LinksOf(2).empty());
    std::string etag, lastModified;
    ASSERT_TRUE(m_store.GetFeedValidators(2, etag, lastModified));
    EXPECT_EQ(etag, "");

    // Deleting items, and channels with theirs.
    ASSERT_TRUE(m_store.SaveReceivedItems(3, Download({"c"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.DeleteFeedItems({}));
    ASSERT_TRUE(m_store.DeleteFeedItems({1}));
    ASSERT_TRUE(m_store.DeleteFeeds({3, 4}));
    int feeds = 0, items = 0;
    ASSERT_TRUE(m_store.GetTotals(feeds, items));
    EXPECT_EQ(feeds, 1);
    EXPECT_EQ(items, 0);
}

// ---- Channels ----

TEST_F(EmptyFeedDatabaseTest, ChannelSettingsAreFoundByAddressOrMadeOnFirstUse) {
    const std::string address = "http://example.com/it's/feed.xml";
    FeedSettings settings;
    settings.storageNum = 123;
    ASSERT_TRUE(Done(m_store.GetFeedSettings(address, settings)));
    const int id = settings.feedId;
    EXPECT_GT(id, 0);
    EXPECT_EQ(settings.storageNum, 123);

    FeedSettings again;
    again.autoUpdate = 9;
    ASSERT_TRUE(m_store.GetFeedSettings(address, again));
    EXPECT_EQ(again.feedId, id);
    // A new channel follows the global storage settings and is received with all channels.
    EXPECT_EQ(again.storageType, StorageRule::kDefault);
    EXPECT_EQ(again.autoUpdate, 1);

    ASSERT_TRUE(m_store.UpdateFeed({.feedId = id,
                                    .url = address,
                                    .rssRank = 5,
                                    .storageType = StorageRule::kKeepNewest,
                                    .storageNum = 300,
                                    .autoUpdate = 0,
                                    .newItemShowTip = 1}));
    ASSERT_TRUE(m_store.GetFeedSettings(address, again));
    EXPECT_EQ(again.rssRank, 5);
    EXPECT_EQ(again.storageType, StorageRule::kKeepNewest);
    EXPECT_EQ(again.storageNum, 300);
    EXPECT_EQ(again.autoUpdate, 0);
    EXPECT_EQ(again.newItemShowTip, 1);

    int otherId = 0;
    ASSERT_TRUE(m_store.AddFeed("http://other/", otherId));
    // Only the group's values are written; the rest of the record is not looked at.
    const FeedSettings nines{.rssRank = 9,
                             .storageType = StorageRule::kSyncWithSource,
                             .storageNum = 50,
                             .autoUpdate = 9,
                             .newItemShowTip = 9};
    ASSERT_TRUE(m_store.UpdateFeedsSettings({id, otherId}, FeedSettingsGroup::kStorage, nines));
    ASSERT_TRUE(m_store.UpdateFeedsSettings({otherId}, FeedSettingsGroup::kRank, {.rssRank = 0}));
    ASSERT_TRUE(m_store.UpdateFeedsSettings({}, FeedSettingsGroup::kAll, nines));
    EXPECT_FALSE(m_store.UpdateFeedsSettings({id}, static_cast<FeedSettingsGroup>(5), nines));
    ASSERT_TRUE(m_store.GetFeedSettings(address, again));
    EXPECT_EQ(again.rssRank, 5);
    EXPECT_EQ(again.storageType, StorageRule::kSyncWithSource);
    EXPECT_EQ(again.storageNum, 50);
    EXPECT_EQ(again.autoUpdate, 0);

    int feeds = 0, items = 0;
    ASSERT_TRUE(m_store.GetTotals(feeds, items));
    EXPECT_EQ(feeds, 2);
}

// ---- Lists and read state ----

TEST_F(FeedDatabaseTest, PagesAndCountsByFilter) {
    ASSERT_TRUE(
        m_store.SaveReceivedItems(1, Download({"a", "b", "c", "d"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SetItemRead(StoredItem(Page(1)[1].id), 1)); // b
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"e"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SetItemRead(StoredItem(Page(1)[0].id), 0)); // e: unread but no longer new
    EXPECT_EQ(LinksOf(1, ItemFilter::kRead), Strings{"b"});
    EXPECT_EQ(LinksOf(1, ItemFilter::kUnread), (Strings{"e", "a", "c", "d"}));
    EXPECT_EQ(LinksOf(1, ItemFilter::kNew), (Strings{"a", "c", "d"}));

    std::vector<FeedItem> page;
    int total = 0;
    ASSERT_TRUE(m_store.GetItemPage(1, ItemFilter::kUnread, false, page, total, 2, 1));
    EXPECT_EQ(total, 4);
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0].title, "title of a");
    EXPECT_EQ(page[0].link, "");
    EXPECT_EQ(page[0].description, "");
    EXPECT_EQ(page[0].author, "author");
    EXPECT_EQ(page[0].feedId, 1);

    // A filter that does not exist touches nothing.
    total = 77;
    EXPECT_FALSE(m_store.GetItemPage(1, static_cast<ItemFilter>(4), true, page, total, 10, 0));
    EXPECT_EQ(total, 77);
    EXPECT_EQ(page.size(), 2u);

    int all = 0, unread = 0;
    ASSERT_TRUE(m_store.GetFeedCounts(1, all, unread));
    EXPECT_EQ(all, 5);
    EXPECT_EQ(unread, 4);
}

TEST_F(FeedDatabaseTest, MarkingAChannelChangesOnlyItemsInTheOppositeState) {
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"a", "b"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SetFeedRead(1, 1));
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"c"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SaveReceivedItems(2, Download({"x"}), StorageRule::kKeepAll, 0));
    // c stays new; a and b turn unread and lose nothing else.
    ASSERT_TRUE(m_store.SetFeedRead(1, 0));
    EXPECT_EQ(LinksOf(1, ItemFilter::kUnread), (Strings{"c", "a", "b"}));
    EXPECT_EQ(LinksOf(1, ItemFilter::kNew), Strings{"c"});
    ASSERT_TRUE(m_store.SetFeedsRead({1, 2}, 1));
    EXPECT_EQ(LinksOf(1, ItemFilter::kNew), Strings{});
    EXPECT_EQ(LinksOf(2, ItemFilter::kRead), Strings{"x"});
    ASSERT_TRUE(m_store.SetFeedsRead({}, 0));
    EXPECT_EQ(LinksOf(2, ItemFilter::kRead), Strings{"x"});
}

TEST_F(FeedDatabaseTest, ListsOverSeveralChannels) {
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"a"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SaveReceivedItems(2, Download({"b"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SaveReceivedItems(3, Download({"c"}), StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SetFeedRead(2, 1));
    std::vector<FeedItem> items;
    ASSERT_TRUE(m_store.GetItemsOfFeeds({1, 2}, ItemFilter::kAll, items));
    EXPECT_EQ(Links(items), (Strings{"title of b", "title of a"}));
    EXPECT_EQ(items[0].feedId, 2);
    ASSERT_TRUE(m_store.GetItemsOfFeeds({1, 2}, ItemFilter::kUnread, items));
    EXPECT_EQ(Links(items), Strings{"title of a"});
    ASSERT_TRUE(m_store.GetItemsOfFeeds({}, ItemFilter::kAll, items));
    EXPECT_TRUE(items.empty());
    EXPECT_FALSE(m_store.GetItemsOfFeeds({1}, static_cast<ItemFilter>(-1), items));

    int count = 0;
    ASSERT_TRUE(m_store.GetAllUnread(items, count));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(Links(items), (Strings{"title of c", "title of a"}));
}

TEST_F(FeedDatabaseTest, SearchTakesTheKeywordLiterallyAndIgnoresAsciiCase) {
    ASSERT_TRUE(
        m_store.SaveReceivedItems(1,
                                  {Item("1", "Rock'n'Roll news"), Item("2", "100% sure"),
                                   Item("3", "1000 sure"), Item("4", "plain", "it's Rock'n'roll")},
                                  StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SaveReceivedItems(2, {Item("5", "ROCK'N'ROLL")}, StorageRule::kKeepAll, 0));
    std::vector<FeedItem> hits;
    const auto search = [&](const std::string& text, std::vector<int> feeds, bool all,
                            bool inDescription) {
        EXPECT_TRUE(Done(m_store.SearchItems(text, hits, feeds, all, inDescription)));
        return Links(hits);
    };
    EXPECT_EQ(search("rock'n'roll", {}, true, false), (Strings{"5", "1"}));
    EXPECT_EQ(search("rock'n'roll", {}, true, true), (Strings{"5", "1", "4"}));
    EXPECT_EQ(search("rock'n'roll", {1}, false, true), (Strings{"1", "4"}));
    EXPECT_EQ(search("rock'n'roll", {1}, false, false), Strings{"1"});
    EXPECT_EQ(search("100%", {}, true, false), Strings{"2"});
    EXPECT_EQ(search("rock", {}, false, true), Strings{});
    EXPECT_EQ(hits.size(), 0u);
    search("plain", {}, true, false);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].description, "it's Rock'n'roll");
}

TEST_F(FeedDatabaseTest, CleaningComparesDatesWithTheLocalClock) {
    // Eight hours east of UTC: a comparison with UTC would keep the item of 28 hours ago.
    const char* savedZone = std::getenv("TZ");
    const std::string saved = savedZone ? savedZone : "";
    setenv("TZ", "CST-8", 1);
    tzset();
    const auto hoursAgo = [](int hours) {
        std::time_t when = std::time(nullptr) - hours * 3600;
        std::tm local{};
        localtime_r(&when, &local);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
        return std::string(text);
    };
    std::vector<FeedItem> items = Download({"20h", "28h", "50h"});
    items[0].pubDate = hoursAgo(20);
    items[1].pubDate = hoursAgo(28);
    items[2].pubDate = hoursAgo(50);
    ASSERT_TRUE(m_store.SaveReceivedItems(1, items, StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SaveReceivedItems(2, items, StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.SetItemRead(StoredItem(Page(1)[2].id), 1)); // 50h read

    ASSERT_TRUE(m_store.CleanItems({1}, 1, false));
    EXPECT_EQ(LinksOf(1), (Strings{"20h", "28h"}));
    ASSERT_TRUE(m_store.CleanItems({1, 2}, 1, true));
    EXPECT_EQ(LinksOf(1), Strings{"20h"});
    EXPECT_EQ(LinksOf(2), Strings{"20h"});
    ASSERT_TRUE(m_store.SetFeedRead(2, 1));
    ASSERT_TRUE(m_store.CleanItems({1, 2}, 0, false));
    EXPECT_EQ(LinksOf(1), Strings{"20h"});
    EXPECT_EQ(LinksOf(2), Strings{});
    ASSERT_TRUE(m_store.CleanItems({1}, 0, true));
    EXPECT_EQ(LinksOf(1), Strings{});

    if (savedZone)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

// ---- Scratch items and favorites ----

TEST_F(FeedDatabaseTest, SearchResultsAreKeptInTheScratchTable) {
    std::vector<FeedItem> results = Download({"r1", "r2"});
    results[0].isNew = results[0].isRead = 1;
    ASSERT_TRUE(m_store.SaveTempItems(0, results));
    ASSERT_GT(results[1].id, results[0].id);
    EXPECT_EQ(results[0].isNew + results[0].isRead, 0);
    FeedItem stored;
    ASSERT_TRUE(m_store.GetItem(WebSearchItem(results[1].id), stored));
    EXPECT_EQ(stored.link, "r2");
    EXPECT_EQ(stored.isNew, 1);
    EXPECT_EQ(stored.isRead, 0);

    // A second search replaces the first; a channel's merge leaves them alone.
    std::vector<FeedItem> second = Download({"r3"});
    ASSERT_TRUE(m_store.SaveTempItems(0, second));
    ASSERT_TRUE(m_store.SaveReceivedItems(1, Download({"a"}), StorageRule::kSyncWithSource, 0));
    std::string link;
    EXPECT_EQ(m_store.GetItemLink(WebSearchItem(results[0].id), link).reason,
              "没有对应id的rss item");
    ASSERT_TRUE(m_store.GetItemLink(WebSearchItem(second[0].id), link));
    EXPECT_EQ(link, "r3");
    ASSERT_TRUE(m_store.ClearTempItems(0));
    EXPECT_FALSE(m_store.GetItemLink(WebSearchItem(second[0].id), link));
}

TEST_F(FeedDatabaseTest, Favorites) {
    ASSERT_TRUE(m_store.EnsureFavoriteFolder(7));
    ASSERT_TRUE(m_store.EnsureFavoriteFolder(7));
    ASSERT_TRUE(m_store.EnsureFavoriteFolder(8));
    EXPECT_EQ(Dump(m_store.Db(), "feedfav_data"), "7|0|\n8|0|\n");

    ASSERT_TRUE(m_store.SaveReceivedItems(1, {Item("http://a", "O'Reilly", "desc")},
                                          StorageRule::kKeepAll, 0));
    std::vector<FeedItem> search = Download({"http://s"});
    ASSERT_TRUE(m_store.SaveTempItems(0, search));
    ASSERT_TRUE(m_store.CopyItemToFavorites(StoredItem(Page(1)[0].id), 7));
    ASSERT_TRUE(m_store.CopyItemToFavorites(WebSearchItem(search[0].id), 7));
    ASSERT_TRUE(m_store.AddFavoriteItem(8, Item("http://b", "it's b")));
    EXPECT_EQ(m_store.CopyItemToFavorites(StoredItem(9999), 7).reason, "没有对应id的rss item");

    std::vector<FeedItem> saved;
    ASSERT_TRUE(m_store.GetFavoriteItems(7, true, saved));
    EXPECT_EQ(Links(saved), (Strings{"http://s", "http://a"}));
    EXPECT_EQ(saved[1].title, "O'Reilly");
    EXPECT_EQ(saved[1].description, "desc");
    EXPECT_EQ(saved[1].feedId, 7);
    ASSERT_TRUE(m_store.GetFavoriteItems(7, false, saved));
    EXPECT_EQ(saved[1].link, "");
    EXPECT_EQ(saved[1].title, "O'Reilly");

    const int copied = saved[1].id;
    ASSERT_TRUE(m_store.MoveFavoriteItem(8, copied));
    FeedItem one;
    ASSERT_TRUE(m_store.GetFavoriteItem(copied, one));
    EXPECT_EQ(one.feedId, 8);
    ASSERT_TRUE(m_store.DeleteFavoriteItem(copied));
    std::string link;
    EXPECT_EQ(m_store.GetFavoriteLink(copied, link).reason, "没有对应id的rss item");

    ASSERT_TRUE(m_store.ClearFavoriteFolder(7));
    ASSERT_TRUE(m_store.GetFavoriteItems(7, true, saved));
    EXPECT_TRUE(saved.empty());
    ASSERT_TRUE(m_store.DeleteFavoriteFolder(7));
    ASSERT_TRUE(m_store.DeleteFavoriteFolders({}));
    ASSERT_TRUE(m_store.DeleteFavoriteFolders({8}));
    EXPECT_EQ(Dump(m_store.Db(), "feedfav_data") + Dump(m_store.Db(), "rssfavorite_data"), "");
}

TEST_F(FeedDatabaseTest, FilesOfNewItemsAreStoredWithThemAndGoWithThem) {
    using Files = std::vector<FeedEnclosure>;
    const Files two = {{"http://m/a.mp3", "audio/mpeg", 123}, {"http://m/a.pdf", "", 0}};
    const auto withFiles = [&](std::vector<FeedItem> items) {
        items[0].enclosures = two;
        items.back().enclosures = {{"http://m/" + items.back().link + ".ogg", "audio/ogg", 9}};
        return items;
    };
    const auto filesOf = [&](int feedId) {
        std::vector<Files> files;
        for (const FeedItem& listed : Page(feedId)) {
            FeedItem item;
            EXPECT_TRUE(m_store.GetItem(StoredItem(listed.id), item));
            files.push_back(item.enclosures);
        }
        return files;
    };
    // Whole, and in parts through the scratch table: the same files on the same items.
    ASSERT_TRUE(m_store.SaveReceivedItems(1, withFiles(Download({"a", "b", "c"})),
                                          StorageRule::kSyncWithSource, 0));
    CFeedMerge merge(m_store);
    ASSERT_TRUE(merge.Begin(2, StorageRule::kSyncWithSource, 0));
    auto parts = withFiles(Download({"a", "b", "c"}));
    for (auto part : {std::vector{parts[0]}, std::vector{parts[1], parts[2]}})
        ASSERT_TRUE(merge.Add(part));
    ASSERT_TRUE(merge.Commit());
    const std::vector<Files> expected = {two, {}, {{"http://m/c.ogg", "audio/ogg", 9}}};
    EXPECT_EQ(filesOf(1), expected);
    EXPECT_EQ(filesOf(2), expected);

    // Known items keep their files once; items that go take theirs along.
    ASSERT_TRUE(m_store.SaveReceivedItems(1, withFiles(Download({"a", "b"})),
                                          StorageRule::kSyncWithSource, 0));
    EXPECT_EQ(filesOf(1), (std::vector<Files>{two, {}}));
    ASSERT_TRUE(m_store.DeleteFeeds({2}));
    EXPECT_EQ(m_store.Db().ExecuteQuery("SELECT count(*) FROM rss_enclosure;").GetInt(0), 2);

    // A favorite copies them; deleting it removes its copies.
    ASSERT_TRUE(m_store.EnsureFavoriteFolder(7));
    ASSERT_TRUE(m_store.CopyItemToFavorites(StoredItem(Page(1).front().id), 7));
    std::vector<FeedItem> saved;
    ASSERT_TRUE(m_store.GetFavoriteItems(7, true, saved));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].enclosures, two);
    ASSERT_TRUE(m_store.DeleteFavoriteItem(saved[0].id));
    EXPECT_EQ(Dump(m_store.Db(), "rssfavorite_enclosure"), "");
}

// ---- Older files ----

TEST(FeedDatabaseLegacy, AStoreFromBeforeEnclosuresGainsThemOnFirstOpenWithNothingLost) {
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/rss.db";
    const char* tables[] = {"feed_data", "rss_data", "feedfav_data", "rssfavorite_data",
                            "feed_validators"};
    std::string before;
    {
        CSqlDatabase old;
        old.Open(path);
        old.ExecuteUpdate(ReadTestData("storage/rss-before-enclosures.sql"));
        for (const char* table : tables) {
            std::string rows = Dump(old, table);
            // The items and favorites gain the importance mark, not set.
            if (std::string(table) == "rss_data" || std::string(table) == "rssfavorite_data")
                rows = std::regex_replace(rows, std::regex("\n"), "0|\n");
            before += rows;
        }
    }
    CFeedDatabase store(path);
    ASSERT_TRUE(Done(store.OpenStore()));
    std::string after;
    for (const char* table : tables)
        after += Dump(store.Db(), table);
    EXPECT_EQ(after, before);
    FeedItem item;
    ASSERT_TRUE(store.GetItem(StoredItem(7), item));
    EXPECT_EQ(item.title, "旧的一条");
    EXPECT_TRUE(item.enclosures.empty());
    // The mark is set and copied with the item.
    ASSERT_TRUE(store.SetItemImportant(StoredItem(7), 1));
    ASSERT_TRUE(store.CopyItemToFavorites(StoredItem(7), 3));
    std::vector<FeedItem> kept;
    ASSERT_TRUE(store.GetFavoriteItems(3, true, kept));
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].isImportant, 1);
    EXPECT_EQ(kept[1].isImportant, 0);
    EXPECT_EQ(store.SetItemImportant(StoredItem(99), 1).reason, "没有对应id的rss item");

    FeedItem fresh = Item("http://old.example/3");
    fresh.enclosures = {{"http://old.example/3.mp3", "audio/mpeg", 5}};
    ASSERT_TRUE(store.SaveReceivedItems(1, {fresh}, StorageRule::kKeepAll, 0));
    ASSERT_TRUE(store.GetItem(StoredItem(9), item));
    EXPECT_EQ(item.enclosures, fresh.enclosures);
    store.CloseStore();
    // The next open finds the step done.
    CFeedDatabase again(path);
    ASSERT_TRUE(Done(again.OpenStore()));
    ASSERT_TRUE(again.GetItem(StoredItem(9), item));
    EXPECT_EQ(item.enclosures, fresh.enclosures);
    again.CloseStore();
    RemoveTree(dir);
}

TEST(FeedDatabaseLegacy, AnOlderGbkFileIsReadFoundAndMergedIntoWithoutDuplicates) {
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/rss.db";
    const std::string address = "http://例子.cn/新闻.xml";
    const std::string link = "http://例子.cn/新闻/1.html";
    {
        CSqlDatabase old;
        old.Open(path);
        old.ExecuteUpdate(
            "CREATE TABLE feed_data (feed_id INTEGER PRIMARY KEY, feed_url VARCHAR(255), "
            "feed_rssrank INTEGER, feed_storagetype INTEGER, feed_storagenum INTEGER, "
            "feed_autoupdate INTEGER, feed_newitemshowtip INTEGER);"
            "CREATE TABLE rss_data (item_id INTEGER PRIMARY KEY, item_feedid INTEGER, item_new "
            "INTEGER, item_read INTEGER, item_link TEXT, item_title TEXT, item_author TEXT, "
            "item_description TEXT, item_pubDate TEXT);"
            "CREATE INDEX old_feed_items ON rss_data (item_feedid, item_id);");
        old.CompileStatement("INSERT INTO feed_data VALUES (4, ?1, 5, 2, 100, 1, 1);")
            .Bind(1, CTextCodec::Utf8ToGbk(address))
            .ExecDML();
        old.CompileStatement("INSERT INTO rss_data VALUES (10, 4, 0, 1, ?1, ?2, 'a', ?3, "
                             "'2006-03-07 09:05:00');")
            .Bind(1, CTextCodec::Utf8ToGbk(link))
            .Bind(2, CTextCodec::Utf8ToGbk("旧闻标题"))
            .Bind(3, CTextCodec::Utf8ToGbk("新闻内容"))
            .ExecDML();
    }
    {
        CFeedDatabase store(path);
        ASSERT_TRUE(Done(store.OpenStore()));
        FeedSettings settings;
        ASSERT_TRUE(store.GetFeedSettings(address, settings));
        EXPECT_EQ(settings.feedId, 4);
        EXPECT_EQ(settings.storageNum, 100);

        FeedItem item;
        ASSERT_TRUE(store.GetItem(StoredItem(10), item));
        EXPECT_EQ(item.title, "旧闻标题");
        EXPECT_EQ(item.link, link);

        ASSERT_TRUE(store.SaveReceivedItems(4, {Item(link, "改过的标题"), Item("http://n")},
                                            StorageRule::kSyncWithSource, 0));
        int all = 0, unread = 0;
        ASSERT_TRUE(store.GetFeedCounts(4, all, unread));
        EXPECT_EQ(all, 2);
        std::vector<FeedItem> hits;
        ASSERT_TRUE(store.SearchItems("新闻", hits, {}, true, true));
        EXPECT_EQ(Links(hits), Strings{link});
        EXPECT_EQ(hits[0].title, "旧闻标题");
        ASSERT_TRUE(store.SearchItems("title of", hits, {4}, false, false));
        EXPECT_EQ(Links(hits), Strings{"http://n"});

        // The existing index over channel and id serves; the missing ones were added.
        std::vector<std::string> indexes;
        for (CSqlQuery rows = store.Db().ExecuteQuery(
                 "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'rss_data' "
                 "ORDER BY name;");
             !rows.IsEnd(); rows.Next())
            indexes.push_back(rows.GetText(0));
        EXPECT_EQ(indexes, (std::vector<std::string>{"old_feed_items", "rss_data_feed_link",
                                                     "rss_data_feed_new", "rss_data_feed_read"}));
    }
    RemoveTree(dir);
}

TEST_F(FeedDatabaseTest, AMergeKilledBeforeItsCommitLeavesNeitherItemsNorTheirCopies) {
    class CCopyEverything : public CMergeFilter {
    public:
        MergeVerdict Judge(const FeedItem&) const override { return {.favoriteFolders = {9}}; }
    } copyEverything;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The download in two parts: new items and their copies wait in the open transaction.
        CFeedDatabase store(m_dir + "/rss.db");
        CFeedMerge merge(store);
        merge.SetFilter(&copyEverything);
        bool ok = store.OpenStore() && merge.Begin(1, StorageRule::kKeepAll, 0);
        for (auto part : {Download({"a", "b"}), Download({"c"})})
            ok = ok && merge.Add(part);
        const char state = ok ? '1' : '0';
        [[maybe_unused]] auto written = ::write(ready[1], &state, 1);
        ::pause();
        ::_exit(0);
    }
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    EXPECT_EQ(state, '1');
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(Dump(m_store.Db(), "rss_data") + Dump(m_store.Db(), "rssfavorite_data") +
                  Dump(m_store.Db(), "feedfav_data"),
              "");

    // Carried to its end, the same merge keeps both.
    CFeedMerge merge(m_store);
    merge.SetFilter(&copyEverything);
    ASSERT_TRUE(merge.Begin(1, StorageRule::kKeepAll, 0));
    for (auto part : {Download({"a", "b"}), Download({"c"})})
        ASSERT_TRUE(merge.Add(part));
    ASSERT_TRUE(merge.Commit());
    EXPECT_EQ(LinksOf(1), (Strings{"a", "b", "c"}));
    std::vector<FeedItem> copies;
    ASSERT_TRUE(m_store.GetFavoriteItems(9, true, copies));
    EXPECT_EQ(copies.size(), 3u);
}
