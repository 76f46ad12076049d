// What the channel tree accepts from the user: the windows and quillmark-cli both pass
// through these checks, so a value that would break Storage/rssreader.opml or the store never
// gets there.
#include "reader/ChannelTree.h"
#include "reader/FeedAddress.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

class ChannelInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteAll(m_home.File("Storage/rssreader.opml"),
                 "<opml><body><outline title=\"目录\"><outline title=\"甲\" "
                 "xmlUrl=\"http://a.example/rss\"/></outline></body></opml>");
        ASSERT_TRUE(Done(m_store.OpenStore()));
        ASSERT_TRUE(m_tree.Build());
        m_channel = m_tree.FindByPath("目录/甲");
        m_directory = m_tree.FindByPath("目录");
    }
    std::string File() { return ReadAll(m_home.File("Storage/rssreader.opml")); }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    CFeedDatabase m_store{m_home.Context()};
    CChannelTree m_tree{m_home.Context()};
    int m_channel = -1;
    int m_directory = -1;
};

} // namespace

TEST(FeedAddress, AcceptsWebAndFeedAddressesThatParse) {
    std::string out;
    for (const char* good : {"http://a.example/rss", "HTTPS://a.example:8443/x?y=1#z",
                             "http://127.0.0.1:8080/feed.xml", "http://[::1]:80/rss"}) {
        EXPECT_TRUE(CFeedAddress::Normalize(good, out)) << good;
        EXPECT_EQ(out, good);
    }
    ASSERT_TRUE(CFeedAddress::Normalize("feed://host.example/x", out));
    EXPECT_EQ(out, "http://host.example/x");
    ASSERT_TRUE(CFeedAddress::Normalize("feed:https://host.example/x", out));
    EXPECT_EQ(out, "https://host.example/x");
    for (const char* bad : {"javascript:alert(1)", "http://[::1", "file:///etc/passwd",
                            "ftp://a.example/x", "a.example/rss", "http://", "http:///x",
                            "feed:javascript:alert(1)", "http://a b/", "http://a.example/\x01"})
        EXPECT_FALSE(CFeedAddress::Normalize(bad, out)) << bad;
}

TEST_F(ChannelInputTest, ValuesTheFileCannotHoldAreRefusedAndTheFileStaysAsItWas) {
    const std::string before = File();
    EXPECT_FALSE(m_tree.AddSubscription(-1, "http://x.example/rss",
                                        "a\x01"
                                        "b",
                                        ""));
    EXPECT_FALSE(m_tree.AddSubscription(-1, "http://x.example/rss", "ok", "http://x/\x02"));
    EXPECT_FALSE(m_tree.AddDirectory(-1, "d\x02ir"));
    EXPECT_FALSE(m_tree.Rename(m_channel, "k\xE9"
                                          "ep"));
    ChannelProperties properties = ChannelProperties::Of(m_tree.Record(m_channel));
    properties.title = "t\x1B";
    EXPECT_FALSE(m_tree.SetChannelProperties(m_channel, properties, m_store));
    EXPECT_FALSE(m_tree.SetDirectoryProperties(m_directory, "目录\r", ""));
    for (const std::string& message : m_reporter.messages)
        EXPECT_EQ(message, "您输入了无效的字符!");
    EXPECT_EQ(m_reporter.messages.size(), 6u);
    EXPECT_EQ(File(), before);
    EXPECT_EQ(CChannelTree::CheckDirectoryName("d\x02ir"), "您输入了无效的字符!");
    EXPECT_EQ(CChannelTree::CheckSubscription("http://x.example/", "a\x01"), "您输入了无效的字符!");
}

TEST_F(ChannelInputTest, OnlyWebAndFeedAddressesAreSubscribed) {
    const std::string before = File();
    for (const char* bad : {"javascript:alert(1)", "http://[::1"}) {
        EXPECT_NE(CChannelTree::CheckSubscription(bad, "名称"), "");
        EXPECT_FALSE(m_tree.AddSubscription(-1, bad, "名称", ""));
    }
    EXPECT_EQ(File(), before);
    int index = -1;
    ASSERT_TRUE(m_tree.AddSubscription(-1, "feed://f.example/rss", "丙", "", &index));
    EXPECT_EQ(m_tree.Record(index).xmlUrl, "http://f.example/rss");
    ChannelProperties properties = ChannelProperties::Of(m_tree.Record(m_channel));
    properties.xmlUrl = "feed:https://g.example/rss";
    ASSERT_TRUE(m_tree.SetChannelProperties(m_channel, properties, m_store));
    EXPECT_EQ(m_tree.Record(m_channel).xmlUrl, "https://g.example/rss");
    properties.xmlUrl = "javascript:alert(1)";
    EXPECT_FALSE(m_tree.SetChannelProperties(m_channel, properties, m_store));
    EXPECT_EQ(m_tree.Record(m_channel).xmlUrl, "https://g.example/rss");
}

TEST_F(ChannelInputTest, ChannelSettingsStayInTheirRanges) {
    ChannelProperties good = ChannelProperties::Of(m_tree.Record(m_channel));
    struct Case {
        const char* what;
        void (*spoil)(ChannelProperties&);
    };
    const Case cases[] = {
        {"autoupdate -7", [](ChannelProperties& p) { p.autoUpdate = -7; }},
        {"tip 99", [](ChannelProperties& p) { p.newItemShowTip = 99; }},
        {"rank 3", [](ChannelProperties& p) { p.rssRank = 3; }},
        {"storage 4", [](ChannelProperties& p) { p.storageType = static_cast<StorageRule>(4); }},
        {"storage 2 count 9",
         [](ChannelProperties& p) { p.storageType = StorageRule::kKeepNewest, p.storageNum = 9; }},
    };
    for (const Case& c : cases) {
        ChannelProperties bad = good;
        c.spoil(bad);
        EXPECT_NE(CChannelTree::CheckChannelSettings(bad), "") << c.what;
        EXPECT_FALSE(m_tree.SetChannelProperties(m_channel, bad, m_store)) << c.what;
        EXPECT_FALSE(
            m_tree.ApplyToChannelsBelow(m_directory, FeedSettingsGroup::kAll, bad, m_store))
            << c.what;
    }
    FeedSettings stored;
    ASSERT_TRUE(m_store.GetFeedSettings("http://a.example/rss", stored));
    EXPECT_EQ(stored.autoUpdate, 1);
    EXPECT_EQ(stored.newItemShowTip, 0);
    EXPECT_EQ(stored.rssRank, 0);

    good.autoUpdate = 0;
    good.newItemShowTip = 1;
    good.rssRank = 5;
    good.storageType = StorageRule::kKeepNewest;
    good.storageNum = 500;
    ASSERT_TRUE(m_tree.SetChannelProperties(m_channel, good, m_store));
    EXPECT_EQ(m_tree.Record(m_channel).newItemShowTip, 1);
}
