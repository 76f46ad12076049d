#include "reader/FeedItemView.h"
#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlDocument.h"
#include "reader/ChannelTree.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

class FeedItemViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteAll(m_home.File("Storage/rssreader.opml"),
                 "<opml><body><outline title=\"目录\"><outline title=\"甲\" xmlUrl=\"http://a/\"/>"
                 "<outline title=\"乙\" xmlUrl=\"http://b/\"/></outline></body></opml>");
        ASSERT_TRUE(Done(m_store.OpenStore()));
        ASSERT_TRUE(m_tree.Build());
        m_a = m_tree.FindByPath("目录/甲");
        m_b = m_tree.FindByPath("目录/乙");
        ChannelTreeOptions options = m_tree.Options();
        options.pageSize = 30;
        options.markReadOnSwitch = 1;
        m_tree.SetOptions(options);
    }
    void Receive(int index, int count, const std::string& prefix) {
        int feedId = 0;
        ASSERT_TRUE(m_tree.GetFeedId(index, feedId, m_store));
        std::vector<FeedItem> items;
        for (int i = 0; i < count; ++i) {
            FeedItem item;
            item.link = prefix + std::to_string(i);
            item.title = "标题 " + std::to_string(i);
            item.description = "<p>正文 " + std::to_string(i) + "</p>";
            item.pubDate = "2026-12-01 10:00:00";
            items.push_back(item);
        }
        ASSERT_TRUE(Done(m_store.SaveReceivedItems(feedId, items, StorageRule::kKeepAll, 0)));
    }
    // One item of channel a, as shown on its first page; its id.
    int ReceiveOne(const FeedItem& item) {
        int feedId = 0;
        EXPECT_TRUE(m_tree.GetFeedId(m_a, feedId, m_store));
        EXPECT_TRUE(m_store.SaveReceivedItems(feedId, {item}, StorageRule::kKeepAll, 0));
        ItemPage page;
        EXPECT_TRUE(m_view.ShowChannelItems(m_a, 0, page));
        return page.items.empty() ? 0 : page.items[0].id;
    }
    int Unread(int index) {
        int feedId = 0, count = -1;
        m_tree.GetFeedId(index, feedId, m_store);
        m_store.GetUnreadCount(feedId, count);
        return count;
    }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    CFeedDatabase m_store{m_home.Context()};
    CChannelTree m_tree{m_home.Context()};
    CFeedItemView m_view{m_home.Context(), m_tree, m_store};
    int m_a = -1, m_b = -1;
};

} // namespace

TEST_F(FeedItemViewTest, PagesUnderEachFilterNewestFirst) {
    Receive(m_a, 70, "http://a/");
    ItemPage page;
    ASSERT_TRUE(m_view.ShowChannelItems(m_a, 0, page));
    EXPECT_EQ(page.total, 70);
    EXPECT_EQ(page.pageCount, 3);
    ASSERT_EQ(page.items.size(), 30u);
    EXPECT_EQ(page.items.front().title, "标题 0") << "the download's first item is the newest";
    ASSERT_TRUE(m_view.ShowChannelItems(m_a, 2, page));
    EXPECT_EQ(page.items.size(), 10u);
    EXPECT_EQ(CFeedItemView::PageBoxEntries(100, 50), (std::vector<std::string>{"1/2", "2/2"}));
    EXPECT_EQ(CFeedItemView::PageBoxEntries(101, 50).back(), "3/3");
    EXPECT_EQ(CFeedItemView::PageBoxEntries(0, 50), (std::vector<std::string>{"1/1"}));
    EXPECT_EQ(CFeedItemView::PageCount(0, 50), 1);

    m_view.SetFilter(ItemFilter::kNew);
    ASSERT_TRUE(m_view.MarkRead(m_a));
    ASSERT_TRUE(m_view.ShowCurrentItems(page));
    EXPECT_EQ(page.total, 0) << "nothing is new after the channel was marked read";
    EXPECT_EQ(m_tree.Record(m_a).unreadCount, 0);
}

TEST_F(FeedItemViewTest, ReadMarksKeepTheUnreadCountsTrue) {
    Receive(m_a, 5, "http://a/");
    ItemPage page;
    ASSERT_TRUE(m_view.ShowChannelItems(m_a, 0, page));
    ASSERT_TRUE(m_view.MarkItemRead(StoredItem(page.items[0].id), true));
    EXPECT_EQ(m_tree.Record(m_a).unreadCount, 4);
    ASSERT_TRUE(m_view.MarkItemRead(StoredItem(page.items[0].id), false));
    EXPECT_EQ(m_tree.Record(m_a).unreadCount, 5);
    EXPECT_FALSE(m_view.MarkItemRead(StoredItem(999999), true));
}

TEST_F(FeedItemViewTest, LeavingAChannelMarksItReadOnlyWhenAnotherIsShownAndSwitchedOn) {
    Receive(m_a, 3, "http://a/");
    Receive(m_b, 4, "http://b/");
    ItemPage page;
    ASSERT_TRUE(m_view.ShowChannelItems(m_a, 0, page));
    ASSERT_TRUE(m_view.ShowChannelItems(m_a, 0, page)); // the same channel again
    EXPECT_EQ(Unread(m_a), 3);
    ASSERT_TRUE(m_view.ShowChannelItems(m_b, 0, page));
    EXPECT_EQ(Unread(m_a), 0);
    EXPECT_EQ(Unread(m_b), 4);
    // A directory lists both channels' items; leaving it marks them all read.
    ASSERT_TRUE(m_view.ShowDirectory(m_tree.FindByPath("目录"), page));
    EXPECT_EQ(page.caption, "目录");
    EXPECT_EQ(page.items.size(), 7u);
    m_view.SettleReadMarks();
    EXPECT_EQ(Unread(m_b), 0);

    // Switched off, leaving marks nothing.
    ChannelTreeOptions options = m_tree.Options();
    options.markReadOnSwitch = 0;
    m_tree.SetOptions(options);
    Receive(m_a, 2, "http://a/later/");
    ASSERT_TRUE(m_view.ShowChannelItems(m_a, 0, page));
    ASSERT_TRUE(m_view.ShowChannelItems(m_b, 0, page));
    EXPECT_EQ(Unread(m_a), 2);
}

TEST_F(FeedItemViewTest, RendersThroughTheSkinAndWritesTheScratchDocument) {
    FeedItem item;
    item.link = "http://a/x?p=1&q=2";
    item.title = "标题 <b> & 笑😀 €5"; // the euro sign: GBK holds it in a byte GB18030 does not
    item.author = "作者";
    item.description = "<p>段落 ]]> 结束 €</p><script>alert(1)</script>";
    item.pubDate = "2026-12-01 10:00:00";
    item.enclosures = {{"http://a/ep.mp3?x=1&y=2", "audio/mpeg", 5 * 1024 * 1024 + 300000},
                       {"http://a/notes.txt", "", 0}};
    const int id = ReceiveOne(item);
    std::string html;
    ASSERT_TRUE(Done(m_view.RenderItem(StoredItem(id), html)));
    // The files under the item, with their type and size.
    EXPECT_NE(html.find("<a href=\"quillpane:/open?url=http%3A%2F%2Fa%2Fep.mp3%3Fx%3D1%26y%3D2\""),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("(audio/mpeg, 5.3 MB)"), std::string::npos) << html;
    EXPECT_NE(html.find(">http://a/notes.txt</a>"), std::string::npos) << html;
    EXPECT_EQ(CFeedItemView::SizeText(900), "900 字节");
    EXPECT_EQ(CFeedItemView::SizeText(1536), "2 KB");
    EXPECT_EQ(CFeedItemView::SizeText(0), "");
    EXPECT_NE(html.find("标题 &lt;b&gt; &amp; 笑😀 €5"), std::string::npos) << html;
    EXPECT_NE(html.find("<p>段落 ]]&gt; 结束 €</p>"), std::string::npos) << html;
    EXPECT_EQ(html.find("<script"), std::string::npos) << html;
    EXPECT_NE(html.find("作者"), std::string::npos);

    std::string scratch = ReadAll(m_home.File("Data/RssSkin/tempRss.xml"));
    const std::string head = "<?xml version=\"1.0\" encoding=\"gb2312\"?><?xml-stylesheet "
                             "type=\"text/xsl\" href=\"" +
                             CTextCodec::Utf8ToGbk("默认") + ".xsl\"?><rss><channel><item><link>";
    EXPECT_EQ(scratch.rfind(head, 0), 0u) << scratch;
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadText(scratch)) << doc.GetLastError();
    // The skins receive the description sanitized; the store keeps what the feed sent.
    EXPECT_EQ(doc.SelectNode("/rss/channel/item/description").GetText(),
              "<p>段落 ]]&gt; 结束 €</p>");
    FeedItem stored;
    ASSERT_TRUE(m_store.GetItem(StoredItem(id), stored));
    EXPECT_EQ(stored.description, item.description);
    EXPECT_EQ(doc.SelectNode("/rss/channel/item/title").GetText(), item.title);
}

TEST_F(FeedItemViewTest, HostileDescriptionsReachNeitherItemNorPage) {
    FeedItem item;
    item.link = "http://a/hostile";
    item.title = "敌意";
    item.description =
        "<p>正文保留</p><script>document.title='x'</script><img src=\"http://a/i.png\" "
        "onerror=\"alert(1)\"><a href=\"javascript:alert(2)\">链接</a>"
        "<iframe src=\"https://www.youtube.com/embed/v\"></iframe>"
        "<iframe src=\"https://evil.example/x\"></iframe>"
        "<div style=\"position:fixed;top:0;left:0;z-index:99\">遮罩</div>"
        "<a href=\"data:text/html;base64,PHNjcmlwdD4=\">数据</a><b>未闭合";
    item.pubDate = "2026-12-01 10:00:00";
    const int id = ReceiveOne(item);
    m_view.SetQuickReading(true); // whole items, as the quick-reading page shows them
    ItemPage page;
    ASSERT_TRUE(m_view.ShowChannelItems(m_a, 0, page));
    std::string itemHtml, pageHtml;
    ASSERT_TRUE(Done(m_view.RenderItem(StoredItem(id), itemHtml)));
    ASSERT_TRUE(Done(m_view.RenderPage(page.items, pageHtml)));
    for (const std::string& html : {itemHtml, pageHtml}) {
        for (const char* banned : {"<script", "onerror", "javascript:", "evil.example", "position",
                                   "z-index", "data:text"})
            EXPECT_EQ(html.find(banned), std::string::npos) << banned << " in " << html;
        EXPECT_NE(html.find("<p>正文保留</p>"), std::string::npos) << html;
        EXPECT_NE(html.find("遮罩"), std::string::npos) << html;
        EXPECT_NE(html.find("<iframe src=\"https://www.youtube.com/embed/v\""), std::string::npos)
            << html;
        EXPECT_NE(html.find("sandbox="), std::string::npos) << html;
    }
}

TEST_F(FeedItemViewTest, TheReadingPaneSettingsDecidePlayersAndImages) {
    FeedItem item;
    item.link = "http://a/media";
    item.title = "媒体";
    item.description =
        "<img src=\"http://a/p.png\"><iframe src=\"https://www.youtube.com/embed/v\">"
        "</iframe><iframe src=\"https://video.example.cn/v\"></iframe>";
    const int id = ReceiveOne(item);

    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("rss/videohosts", "video.example.cn"), 1);
    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("rss/noremoteimages", "1"), 1);
    m_tree.LoadOptions();
    std::string html;
    ASSERT_TRUE(Done(m_view.RenderItem(StoredItem(id), html)));
    EXPECT_NE(html.find("src=\"https://video.example.cn/v\""), std::string::npos) << html;
    EXPECT_EQ(html.find("youtube"), std::string::npos) << html;
    EXPECT_EQ(html.find("<img"), std::string::npos) << html;
    EXPECT_NE(html.find("href=\"quillpane:/load-images\" data-src=\"http://a/p.png\">点击加载图片"),
              std::string::npos)
        << html;
    // Asked for, the images come.
    ASSERT_TRUE(m_view.RenderItem(StoredItem(id), html, ImageLoading::kAll));
    EXPECT_NE(html.find("<img src=\"http://a/p.png\">"), std::string::npos) << html;

    // A settings file without the keys (written before they existed) keeps the built-in values.
    std::string config = ReadAll(m_home.File("config/appConfig.xml"));
    for (const char* key : {"noremoteimages", "videohosts"}) {
        const size_t from = config.find(std::string("<") + key + ">");
        const size_t to = config.find(std::string("</") + key + ">");
        ASSERT_NE(to, std::string::npos);
        config.erase(from, to + std::strlen(key) + 3 - from);
    }
    WriteAll(m_home.File("config/appConfig.xml"), config);
    m_tree.LoadOptions();
    EXPECT_FALSE(m_tree.Options().settingsUnreadable);
    EXPECT_EQ(m_tree.Options().noRemoteImages, 0);
    ASSERT_TRUE(m_view.RenderItem(StoredItem(id), html));
    EXPECT_NE(html.find("<img src=\"http://a/p.png\">"), std::string::npos) << html;
    EXPECT_NE(html.find("youtube"), std::string::npos) << html;
}

TEST_F(FeedItemViewTest, QuickReadingPageHasAnAnchorPerItem) {
    Receive(m_a, 3, "http://a/");
    m_view.SetQuickReading(true);
    ItemPage page;
    ASSERT_TRUE(m_view.ShowChannelItems(m_a, 0, page));
    ASSERT_FALSE(page.items[0].description.empty()) << "quick reading needs whole items";
    std::string html;
    ASSERT_TRUE(m_view.RenderPage(page.items, html));
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(html.find("name=\"http://a/" + std::to_string(i) + "\""), std::string::npos);
    EXPECT_FALSE(ReadAll(m_home.File("Data/RssSkin/tempRssList.xml")).empty());
    EXPECT_EQ(CFeedItemView::ListSkins(m_home.Context()), std::vector<std::string>{"默认"});
}

TEST_F(FeedItemViewTest, APagePastTheLastIsRefusedAndARefreshFallsBackToTheLast) {
    Receive(m_a, 65, "http://a/"); // three pages of 30
    ItemPage page;
    ASSERT_TRUE(Done(m_view.ShowChannelItems(m_a, 2, page)));
    EXPECT_EQ(page.items.size(), 5u);
    EXPECT_EQ(page.pageCount, 3);
    for (int past : {3, 1000, 2147483647}) {
        const StoreResult refused = m_view.ShowChannelItems(m_a, past, page);
        EXPECT_FALSE(refused) << past;
        EXPECT_TRUE(page.items.empty());
        EXPECT_EQ(page.pageCount, 3);
        EXPECT_NE(refused.reason.find("共 3 页"), std::string::npos) << refused.reason;
    }
    // A directory has no pages of its own: asked for one, the view says why instead of
    // passing on whatever the store failed with last.
    EXPECT_EQ(m_view.ShowChannelItems(m_tree.FindByPath("目录"), 0, page).reason,
              CChannelTree::kNotAChannelText);
    // The list was on page 3 when items went away: showing it again gives the last page left.
    ASSERT_TRUE(m_view.ShowChannelItems(m_a, 2, page));
    int feedId = 0;
    ASSERT_TRUE(m_tree.GetFeedId(m_a, feedId, m_store));
    ASSERT_TRUE(m_store.DeleteFeedItems({feedId}));
    Receive(m_a, 10, "http://a/new/");
    ASSERT_TRUE(Done(m_view.ShowCurrentItems(page)));
    EXPECT_EQ(page.page, 0);
    EXPECT_EQ(page.items.size(), 10u);
}
