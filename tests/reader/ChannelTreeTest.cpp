#include "reader/ChannelTree.h"
#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "reader/BrokenStore.h"
#include "reader/RssChannelFile.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

const char* kTree = R"(<?xml version="1.0" encoding="UTF-8"?>
<opml version="1.0"><head><title>t</title></head><body>
  <outline title="新闻" expanded="1" unreadnum="7">
    <outline title="甲报" xmlUrl="http://a.example/rss" htmlUrl="http://a.example/" unreadnum="3"/>
    <outline text="乙报" xmlUrl="http://b.example/rss"/>
  </outline>
  <outline title="空目录"/>
  <outline title="技术" expanded="0">
    <outline title="丙" xmlUrl="http://c.example/rss"/>
  </outline>
  <outline title="丁" xmlUrl="http://d.example/rss"/>
</body></opml>)";

class ChannelTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteAll(m_home.File("Storage/rssreader.opml"), kTree);
        ASSERT_TRUE(Done(m_store.OpenStore()));
    }
    // A tree built afresh from the file, to see what was saved.
    std::unique_ptr<CChannelTree> Reload() {
        auto tree = std::make_unique<CChannelTree>(m_home.Context());
        EXPECT_TRUE(tree->Build());
        return tree;
    }
    std::vector<std::string> TitlesOf(const CChannelTree& tree, const std::vector<int>& items) {
        std::vector<std::string> titles;
        for (int item : items)
            titles.push_back(tree.Record(item).title);
        return titles;
    }
    int Find(const std::string& path) { return m_tree.FindByPath(path); }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    CFeedDatabase m_store{m_home.Context()};
    CChannelTree m_tree{m_home.Context()};
};

} // namespace

TEST_F(ChannelTreeTest, BuildsDirectoriesChannelsAndTheirValues) {
    ASSERT_TRUE(m_tree.Build());
    EXPECT_EQ(TitlesOf(m_tree, m_tree.Roots()),
              (std::vector<std::string>{"新闻", "空目录", "技术", "丁"}));
    ChannelRecord news = m_tree.Record(Find("新闻"));
    EXPECT_TRUE(news.directory);
    EXPECT_TRUE(news.expanded);
    EXPECT_EQ(news.image, kImageDirectory);
    ChannelRecord empty = m_tree.Record(Find("空目录"));
    EXPECT_TRUE(empty.directory) << "a childless outline without xmlUrl is a directory";
    EXPECT_EQ(empty.image, kImageDirectory);
    EXPECT_FALSE(m_tree.Record(Find("技术")).expanded);
    // text stands in for a missing title.
    ChannelRecord second = m_tree.Record(Find("新闻/乙报"));
    EXPECT_EQ(second.xmlUrl, "http://b.example/rss");
    EXPECT_EQ(second.image, kImageChannel);
    // Reset values of every record.
    EXPECT_EQ(second.feedId, 0);
    EXPECT_EQ(second.rankLevel, 1);
    EXPECT_EQ(second.rankCounter, 10);
    EXPECT_EQ(second.storageNum, 200);
    EXPECT_EQ(second.autoUpdate, 1);
    EXPECT_EQ(m_tree.PathText(Find("新闻/甲报")), "新闻 → 甲报");
    EXPECT_EQ(m_tree.ChannelsBelow(m_tree.Roots()[0]).size(), 2u);
    EXPECT_EQ(m_tree.AllChannels().size(), 4u);
}

TEST_F(ChannelTreeTest, MissingOrBrokenFileReportsItsCatalogueId) {
    WriteAll(m_home.File("Storage/rssreader.opml"), "<opml><body>");
    EXPECT_FALSE(m_tree.Build());
    EXPECT_EQ(m_reporter.errors, std::vector<int>{8000});
}

TEST_F(ChannelTreeTest, AddSubscriptionChecksAndWritesTheFile) {
    ASSERT_TRUE(m_tree.Build());
    int tech = Find("技术");
    EXPECT_FALSE(m_tree.AddSubscription(tech, "", "名", ""));
    EXPECT_FALSE(m_tree.AddSubscription(tech, "http://e.example/rss", "", ""));
    EXPECT_FALSE(m_tree.AddSubscription(tech, "http://e.example/rss", "<b>", ""));
    EXPECT_EQ(m_reporter.messages,
              (std::vector<std::string>{"请输入RSS地址", "请输入频道名称", "您输入了无效的字符!"}));
    int added = -1;
    ASSERT_TRUE(m_tree.AddSubscription(tech, "http://e.example/rss?a=1&b='2'", "戊 & 'quoted'",
                                       "http://e.example/", &added));
    EXPECT_EQ(added, m_tree.RecordCount() - 1);
    EXPECT_TRUE(m_tree.Record(tech).expanded) << "adding under a collapsed directory opens it";
    auto reloaded = Reload();
    int found = reloaded->FindByPath("技术/戊 & 'quoted'");
    ASSERT_GE(found, 0);
    EXPECT_EQ(reloaded->Record(found).xmlUrl, "http://e.example/rss?a=1&b='2'");

    int top = -1;
    ASSERT_TRUE(m_tree.AddSubscription(-1, "http://f.example/rss", "己", "", &top));
    EXPECT_EQ(m_tree.Roots().back(), top);
    ASSERT_TRUE(m_tree.AddDirectory(-1, "新目录"));
    EXPECT_FALSE(m_tree.AddDirectory(-1, ""));
    EXPECT_EQ(m_reporter.messages.back(), "请输入目录名称");
    auto again = Reload();
    EXPECT_TRUE(again->Record(again->FindByPath("新目录")).directory);
}

TEST_F(ChannelTreeTest, MovesKeepFileAndTreeInStep) {
    ASSERT_TRUE(m_tree.Build());
    int c = Find("技术/丙");
    ASSERT_TRUE(m_tree.MoveToTop(c));
    ASSERT_TRUE(m_tree.MoveUp(c));
    EXPECT_EQ(TitlesOf(m_tree, m_tree.Roots()),
              (std::vector<std::string>{"新闻", "空目录", "技术", "丙", "丁"}));
    ASSERT_TRUE(m_tree.MoveInto(Find("丁"), Find("空目录")));
    EXPECT_FALSE(m_tree.MoveInto(Find("新闻"), Find("新闻")));
    EXPECT_FALSE(m_tree.MoveInto(Find("新闻/甲报"), Find("丙"))) << "a channel is no directory";
    EXPECT_FALSE(m_tree.MoveUp(Find("新闻"))) << "already first";

    auto reloaded = Reload();
    EXPECT_EQ(TitlesOf(*reloaded, reloaded->Roots()),
              (std::vector<std::string>{"新闻", "空目录", "技术", "丙"}));
    EXPECT_GE(reloaded->FindByPath("空目录/丁"), 0);
    EXPECT_EQ(m_tree.PathOf(Find("空目录/丁")),
              reloaded->PathOf(reloaded->FindByPath("空目录/丁")));
}

TEST_F(ChannelTreeTest, DeleteRemovesItemsAndSettingsOfTheChannelsBelow) {
    ASSERT_TRUE(m_tree.Build());
    int a = Find("新闻/甲报");
    int d = Find("丁");
    int feedA = 0, feedD = 0;
    ASSERT_TRUE(m_tree.GetFeedId(a, feedA, m_store));
    ASSERT_TRUE(m_tree.GetFeedId(d, feedD, m_store));
    FeedItem item;
    item.link = "http://a.example/1";
    item.title = "一";
    item.pubDate = "2026-01-01 00:00:00";
    ASSERT_TRUE(m_store.SaveReceivedItems(feedA, {item}, StorageRule::kKeepAll, 0));
    item.link = "http://d.example/1";
    ASSERT_TRUE(m_store.SaveReceivedItems(feedD, {item}, StorageRule::kKeepAll, 0));

    ASSERT_TRUE(m_tree.Delete(Find("新闻"), m_store));
    EXPECT_FALSE(m_tree.IsValid(a));
    EXPECT_EQ(Find("新闻"), -1);
    int unread = -1;
    ASSERT_TRUE(m_store.GetUnreadCount(feedA, unread));
    EXPECT_EQ(unread, 0);
    ASSERT_TRUE(m_store.GetUnreadCount(feedD, unread));
    EXPECT_EQ(unread, 1) << "other channels keep their items";
    EXPECT_EQ(Reload()->FindByPath("新闻"), -1);

    ASSERT_TRUE(m_tree.Clear(d, m_store));
    ASSERT_TRUE(m_store.GetUnreadCount(feedD, unread));
    EXPECT_EQ(unread, 0);
    EXPECT_GE(Find("丁"), 0) << "clearing keeps the channel";
}

// A directory whose channels cannot be looked up in the store is not cleared or marked read in
// part (nothing at all, before, while its counts went to 0): the step fails and says why.
TEST_F(ChannelTreeTest, ADirectoryWhoseChannelsCannotBeLookedUpIsLeftAsItWas) {
    ASSERT_TRUE(m_tree.Build());
    BreakTable(m_home.File("Storage/rss.db"), "feed_data", "INSERT");
    const int news = Find("新闻");
    EXPECT_FALSE(m_tree.Clear(news, m_store));
    EXPECT_THAT(m_reporter.messages,
                testing::Contains(testing::AllOf(testing::HasSubstr("清空失败!"),
                                                 testing::HasSubstr("database or disk is full"))));
    EXPECT_EQ(m_tree.Record(news).unreadCount, 7);
    EXPECT_EQ(m_tree.Record(Find("新闻/甲报")).unreadCount, 3);
    std::vector<int> ids{42};
    const StoreResult found = m_tree.FeedIdsBelow(news, m_store, ids);
    EXPECT_THAT(found.reason, testing::HasSubstr("database or disk is full"));
    EXPECT_TRUE(ids.empty());
}

TEST_F(ChannelTreeTest, PropertiesWriteOnlyWhatChanged) {
    ASSERT_TRUE(m_tree.Build());
    int c = Find("技术/丙");
    ChannelRecord before = m_tree.Record(c);
    ChannelProperties properties{.title = before.title,
                                 .xmlUrl = "http://c2.example/rss",
                                 .htmlUrl = before.htmlUrl,
                                 .rssRank = 5,
                                 .storageType = StorageRule::kKeepNewest,
                                 .storageNum = 500,
                                 .autoUpdate = 0,
                                 .newItemShowTip = 1};
    ASSERT_TRUE(m_tree.SetChannelProperties(c, properties, m_store));
    auto reloaded = Reload();
    int again = reloaded->FindByPath("技术/丙");
    EXPECT_EQ(reloaded->Record(again).xmlUrl, "http://c2.example/rss");
    EXPECT_EQ(ReadAll(m_home.File("Storage/rssreader.opml")).find("htmlUrl=\"\" title=\"丙\""),
              std::string::npos)
        << "an unchanged htmlUrl is not added";
    FeedSettings settings;
    ASSERT_TRUE(m_store.GetFeedSettings("http://c2.example/rss", settings));
    EXPECT_EQ(settings.rssRank, 5);
    EXPECT_EQ(settings.storageType, StorageRule::kKeepNewest);
    EXPECT_EQ(settings.storageNum, 500);
    EXPECT_EQ(settings.autoUpdate, 0);

    properties.title = "";
    EXPECT_FALSE(m_tree.SetChannelProperties(c, properties, m_store));
    EXPECT_EQ(m_reporter.messages.back(), "请输入频道名称");
    ASSERT_TRUE(m_tree.SetDirectoryProperties(Find("技术"), "科技", "http://tech.example/"));
    EXPECT_GE(Reload()->FindByPath("科技/丙"), 0);
}

TEST_F(ChannelTreeTest, TreeStateIsSavedAtExitAndCountsComeBackOnlyWhenRemembered) {
    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("rss/whenexitrememberunreadnum", "0"), 1);
    ASSERT_TRUE(m_tree.Build());
    EXPECT_EQ(m_tree.Record(Find("新闻/甲报")).unreadCount, 0);
    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("rss/whenexitrememberunreadnum", "1"), 1);
    ASSERT_TRUE(m_tree.Build());
    EXPECT_EQ(m_tree.Record(Find("新闻/甲报")).unreadCount, 3);
    m_tree.SetExpanded(Find("技术"), true);
    m_tree.SetExpanded(Find("新闻"), false);
    m_tree.SetUnreadCount(Find("丁"), 42);
    ASSERT_TRUE(m_tree.SaveTreeState());
    auto reloaded = Reload();
    EXPECT_TRUE(reloaded->Record(reloaded->FindByPath("技术")).expanded);
    EXPECT_FALSE(reloaded->Record(reloaded->FindByPath("新闻")).expanded);
    EXPECT_EQ(reloaded->Record(reloaded->FindByPath("丁")).unreadCount, 42);
}

TEST(ChannelFile, MovesByNodeWhateverThePositions) {
    std::string dir = MakeTempDir();
    const std::string path = dir + "/t.opml";
    WriteAll(path, "<opml><body><outline title=\"a\"/><outline title=\"b\"/>"
                   "<outline title=\"c\"><outline title=\"c1\"/></outline></body></opml>");
    CRssChannelFile file(path);
    ASSERT_TRUE(file.Open());
    // c goes before a: the target's position is taken before anything moves.
    ASSERT_TRUE(file.MoveOutline({2}, {0}, 1));
    EXPECT_EQ(file.Outline({0}).GetAttribute("title"), "c");
    EXPECT_FALSE(file.MoveOutline({0}, {0, 0}, 0)) << "not into itself";
    ASSERT_TRUE(file.MoveOutline({1}, {0}, 0));
    EXPECT_EQ(file.Outline({0, 1}).GetAttribute("title"), "a");
    EXPECT_TRUE(file.Outline({5}).IsNull());
    CRssChannelFile reread(path);
    ASSERT_TRUE(reread.Open());
    EXPECT_EQ(reread.Outline({0, 1}).GetAttribute("title"), "a");
    EXPECT_EQ(CRssChannelFile::PathText({0, 2}), "/opml/body/outline[0]/outline[2]");
    RemoveTree(dir);
}

TEST_F(ChannelTreeTest, DirectorySettingsReachEveryChannelBelowAndOnlyTheirGroup) {
    ASSERT_TRUE(m_tree.Build());
    int a = Find("新闻/甲报");
    int b = Find("新闻/乙报");
    ChannelProperties values;
    values.storageType = StorageRule::kKeepNewest;
    values.storageNum = 300;
    values.rssRank = 5; // not part of the storage group
    ASSERT_TRUE(
        m_tree.ApplyToChannelsBelow(Find("新闻"), FeedSettingsGroup::kStorage, values, m_store));
    for (int channel : {a, b}) {
        EXPECT_EQ(m_tree.Record(channel).storageType, StorageRule::kKeepNewest);
        EXPECT_EQ(m_tree.Record(channel).storageNum, 300);
        EXPECT_EQ(m_tree.Record(channel).rssRank, 0);
        FeedSettings settings;
        ASSERT_TRUE(m_store.GetFeedSettings(m_tree.Record(channel).xmlUrl, settings));
        EXPECT_EQ(settings.storageNum, 300);
        EXPECT_EQ(settings.rssRank, 0);
    }
    EXPECT_EQ(m_tree.Record(Find("丁")).storageType, StorageRule::kDefault)
        << "channels elsewhere keep theirs";
}

TEST_F(ChannelTreeTest, ADeleteTheStoreRefusesChangesNothing) {
    ASSERT_TRUE(m_tree.Build());
    const int news = Find("新闻");
    const int first = Find("新闻/甲报");
    int feedId = 0;
    ASSERT_TRUE(m_tree.GetFeedId(first, feedId, m_store));
    ASSERT_TRUE(m_store.SaveReceivedItems(feedId, {FeedItem{.title = "t", .link = "http://a/1"}},
                                          StorageRule::kKeepAll, 200));
    const std::string file = ReadAll(m_home.File("Storage/rssreader.opml"));
    BreakTable(m_store.GetPath(), "feed_data", "DELETE");
    EXPECT_FALSE(m_tree.Delete(news, m_store));
    EXPECT_THAT(
        m_reporter.messages.back(),
        ::testing::StartsWith("删除失败!\n原因: SQLITE_CONSTRAINT[19]: database or disk is full"));
    EXPECT_EQ(ReadAll(m_home.File("Storage/rssreader.opml")), file) << "the outline stays";
    EXPECT_TRUE(m_tree.IsValid(news));
    EXPECT_EQ(Reload()->FindByPath("新闻/甲报"), first);
    FeedSettings settings;
    ASSERT_TRUE(m_store.GetFeedSettings("http://a.example/rss", settings));
    EXPECT_EQ(settings.feedId, feedId) << "the row stays";
    int unread = 0;
    ASSERT_TRUE(m_store.GetUnreadCount(feedId, unread));
    EXPECT_EQ(unread, 1) << "and its items";

    RepairTable(m_store.GetPath(), "feed_data");
    ASSERT_TRUE(m_tree.Delete(news, m_store));
    EXPECT_EQ(Reload()->FindByPath("新闻"), -1);
    EXPECT_FALSE(m_tree.IsValid(first));
}

TEST_F(ChannelTreeTest, PropertiesTheStoreRefusesLeaveFileRowAndRecordAsTheyWere) {
    ASSERT_TRUE(m_tree.Build());
    const int c = Find("技术/丙");
    int feedId = 0;
    ASSERT_TRUE(m_tree.GetFeedId(c, feedId, m_store));
    const ChannelRecord before = m_tree.Record(c);
    const std::string file = ReadAll(m_home.File("Storage/rssreader.opml"));
    BreakTable(m_store.GetPath(), "feed_data", "UPDATE");
    const ChannelProperties properties{.title = "新名字",
                                       .xmlUrl = "http://c2.example/rss",
                                       .htmlUrl = "http://c2.example/",
                                       .rssRank = 5};
    EXPECT_FALSE(m_tree.SetChannelProperties(c, properties, m_store));
    EXPECT_THAT(
        m_reporter.messages.back(),
        ::testing::StartsWith("设置失败!\n原因: SQLITE_CONSTRAINT[19]: database or disk is full"));
    EXPECT_EQ(ReadAll(m_home.File("Storage/rssreader.opml")), file);
    const ChannelRecord after = m_tree.Record(c);
    EXPECT_EQ(after.title, before.title);
    EXPECT_EQ(after.xmlUrl, before.xmlUrl);
    EXPECT_EQ(after.htmlUrl, before.htmlUrl);
    EXPECT_EQ(after.rssRank, before.rssRank);
    FeedSettings settings;
    ASSERT_TRUE(m_store.GetFeedSettings(before.xmlUrl, settings));
    EXPECT_EQ(settings.feedId, feedId);
    EXPECT_EQ(settings.rssRank, before.rssRank);
}
