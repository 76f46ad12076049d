// The search bar and the cleaning wizard on the offscreen platform, over a real store and feeds
// served on 127.0.0.1.
#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "platform/LoopbackServer.h"
#include "platform/jobs/JobRunner.h"
#include "reader/FeedCleaner.h"
#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/CommandTable.h"
#include "ui/app/MainFrame.h"
#include "ui/common/CommandIds.h"
#include "ui/reader/ArticlesReportView.h"
#include "ui/reader/CleanWizard.h"
#include "ui/reader/FeedItemModel.h"
#include "ui/reader/RssChannelTreeCtrl.h"
#include "ui/reader/RssFavoriteTreeCtrl.h"
#include "ui/reader/RssReader.h"
#include "ui/reader/SearchBar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

std::string Feed(const std::string& title, int items, const std::string& base) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                      "<title>" +
                      title + "</title>";
    for (int i = items - 1; i >= 0; --i)
        xml += "<item><title>" + title + " 第" + std::to_string(i) + "篇</title><link>" + base +
               title + "/" + std::to_string(i) + "</link><description>正文 " + std::to_string(i) +
               "</description><pubDate>Tue, 07 Mar 2006 09:05:00 GMT</pubDate></item>";
    return xml + "</channel></rss>";
}

class SearchAndCleanWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        m_server.Server().Get("/a.xml", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(Feed("新闻", 12, "http://a/"), "application/rss+xml");
        });
        m_server.Server().Get("/b.xml", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(Feed("体育", 3, "http://b/"), "application/rss+xml");
        });
        m_server.Server().Get("/ns", [this](const httplib::Request& req, httplib::Response& res) {
            ++m_webSearches;
            if (m_webFails) {
                res.status = 503;
                return;
            }
            res.set_content(Feed("结果" + std::to_string(m_webSearches.load()), 2, "http://w/"),
                            "application/rss+xml");
        });
        m_server.Start();
        ASSERT_TRUE(Done(m_store.OpenStore()));
        m_reader = std::make_unique<CRssReader>(m_home.Context(), m_store);
        ASSERT_TRUE(m_reader->Build());
        m_list = std::make_unique<CArticlesReportView>();
        m_list->SetReader(m_reader.get());
        ASSERT_TRUE(m_reader->Tree().AddSubscription(-1, Url("/a.xml"), "新闻", "", &m_news));
        ASSERT_TRUE(m_reader->Tree().AddSubscription(-1, Url("/b.xml"), "体育", "", &m_sports));
        for (int index : {m_news, m_sports}) {
            ASSERT_TRUE(m_reader->Scheduler().ReceiveChannel(index, {}));
            ASSERT_TRUE(WaitFor(
                [&] { return m_reader->Tree().Record(index).image == kImageReceived; }, 20000));
        }
        m_bar = std::make_unique<CSearchBar>(*m_reader, *m_list);
    }
    void TearDown() override {
        m_bar.reset();
        m_reader->Shutdown();
        m_list.reset();
    }
    std::string Url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + path;
    }
    void Search(const QString& keyword, SearchScope scope, bool titleOnly = false) {
        m_bar->ScopeBox()->setCurrentIndex(static_cast<int>(scope));
        m_bar->KeywordEdit()->setText(keyword);
        m_bar->TitleOnlyBox()->setChecked(titleOnly);
        m_bar->SearchButton()->click();
    }
    std::vector<QString> ListedTitles() {
        std::vector<QString> titles;
        for (const FeedItem& item : m_list->Model()->Items())
            titles.push_back(QString::fromStdString(item.title));
        return titles;
    }
    int Stored(int index) {
        int total = 0, unread = 0;
        m_store.GetFeedCounts(m_reader->Tree().Record(index).feedId, total, unread);
        return total;
    }

    CTempHome m_home{{.processDir = true}};
    CRecordingMessageBoxes m_boxes;
    loopback::CHttpServer m_server;
    std::atomic<int> m_webSearches{0};
    std::atomic<bool> m_webFails{false};
    CFeedDatabase m_store{m_home.Context()};
    CJobRunner m_dialogJobs{1};
    std::unique_ptr<CRssReader> m_reader;
    std::unique_ptr<CArticlesReportView> m_list;
    std::unique_ptr<CSearchBar> m_bar;
    int m_news = -1;
    int m_sports = -1;
};

using Texts = std::vector<QString>;

} // namespace

TEST_F(SearchAndCleanWindowsTest, TheSearchBarChecksItsFieldsAndFillsTheList) {
    ASSERT_EQ(m_bar->ScopeBox()->count(), 3);
    EXPECT_FALSE(m_bar->CountBox()->isEnabled()) << "the count is for the on-line search";

    Search(QString(), SearchScope::kAllChannels);
    Search(QStringLiteral("闻 第1"), SearchScope::kCurrent); // no channel chosen yet
    Search(QStringLiteral("正文 1"), SearchScope::kAllChannels, true);
    EXPECT_EQ(m_boxes.Texts(), (Texts{QStringLiteral("请输入要搜索的关键字"),
                                      QStringLiteral("请先在频道树中选择一个频道或目录"),
                                      QStringLiteral("没有符合条件的搜索结果!")}));
    EXPECT_EQ(m_list->Model()->rowCount(), 0);
    m_boxes.Clear();

    Search(QStringLiteral("闻 第1"), SearchScope::kAllChannels);
    EXPECT_EQ(m_bar->ResultLabel()->text(),
              QStringLiteral("有 3 项符合关键字 \"闻 第1\" 的结果, 在全部频道中"));
    EXPECT_EQ(m_list->Caption()->text(), m_bar->ResultLabel()->text());
    // Newest first: the feed lists its items from the 11th down.
    EXPECT_EQ(ListedTitles(), (Texts{QStringLiteral("新闻 第11篇"), QStringLiteral("新闻 第10篇"),
                                     QStringLiteral("新闻 第1篇")}));
    EXPECT_TRUE(m_list->ShowsSearchResults());

    // Within the channel shown; descriptions count unless titles only are asked for.
    m_list->ShowChannel(m_sports);
    Search(QStringLiteral("正文"), SearchScope::kCurrent);
    EXPECT_EQ(m_bar->ResultLabel()->text(),
              QStringLiteral("有 3 项符合关键字 \"正文\" 的结果, 在 \"体育\" 中"));
    EXPECT_EQ(m_list->Model()->rowCount(), 3);
    EXPECT_TRUE(m_boxes.Texts().empty());
}

// The list reads a search's hits a page at a time, as a channel's: the first page with the
// total, then the page the user goes to.
TEST_F(SearchAndCleanWindowsTest, LocalHitsAreListedAPageAtATime) {
    ChannelTreeOptions options = m_reader->Tree().Options();
    options.pageSize = 4;
    m_reader->Tree().SetOptions(options);
    Search(QStringLiteral("第"), SearchScope::kAllChannels, true);
    EXPECT_EQ(m_bar->ResultLabel()->text(),
              QStringLiteral("有 15 项符合关键字 \"第\" 的结果, 在全部频道中"));
    EXPECT_EQ(ListedTitles(), (Texts{QStringLiteral("体育 第2篇"), QStringLiteral("体育 第1篇"),
                                     QStringLiteral("体育 第0篇"), QStringLiteral("新闻 第11篇")}));
    ASSERT_EQ(m_list->PageBox()->count(), 4);
    EXPECT_EQ(m_list->PageBox()->currentText(), QStringLiteral("1/4"));
    EXPECT_TRUE(m_list->PreviousButton()->isHidden());

    m_list->NextButton()->click();
    EXPECT_EQ(ListedTitles(), (Texts{QStringLiteral("新闻 第10篇"), QStringLiteral("新闻 第9篇"),
                                     QStringLiteral("新闻 第8篇"), QStringLiteral("新闻 第7篇")}));
    EXPECT_EQ(m_list->PageBox()->currentText(), QStringLiteral("2/4"));
    emit m_list->PageBox()->activated(3);
    EXPECT_EQ(ListedTitles(), (Texts{QStringLiteral("新闻 第2篇"), QStringLiteral("新闻 第1篇"),
                                     QStringLiteral("新闻 第0篇")}));
    EXPECT_TRUE(m_list->NextButton()->isHidden());
    EXPECT_EQ(m_list->Caption()->text(), m_bar->ResultLabel()->text());
    EXPECT_TRUE(m_boxes.Texts().empty());

    // In the channel shown, the pages are the channel's hits.
    m_list->ShowChannel(m_news);
    Search(QStringLiteral("第1"), SearchScope::kCurrent, true);
    EXPECT_EQ(ListedTitles(), (Texts{QStringLiteral("新闻 第11篇"), QStringLiteral("新闻 第10篇"),
                                     QStringLiteral("新闻 第1篇")}));
    EXPECT_EQ(m_list->PageBox()->count(), 1);
}

TEST_F(SearchAndCleanWindowsTest, TheOnlineSearchRunsAsideAndReplacesTheLastResults) {
    m_bar->ScopeBox()->setCurrentIndex(static_cast<int>(SearchScope::kWeb));
    EXPECT_TRUE(m_bar->CountBox()->isEnabled());
    EXPECT_EQ(m_bar->HostEdit()->text(), QStringLiteral("http://news.baidu.com"));
    m_bar->HostEdit()->setText(QStringLiteral("news.example.org"));
    Search(QStringLiteral("妙笔"), SearchScope::kWeb);
    EXPECT_TRUE(m_bar->SearchButton()->isEnabled());
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_TRUE(m_boxes.Texts()[0].startsWith(QStringLiteral("新闻搜索的地址需以 http://")));
    m_boxes.Clear();
    m_bar->HostEdit()->setText(QString::fromStdString(Url("/")));
    for (int round = 1; round <= 2; ++round) {
        Search(QStringLiteral("妙笔"), SearchScope::kWeb);
        EXPECT_FALSE(m_bar->SearchButton()->isEnabled()) << "disabled while it runs";
        ASSERT_TRUE(WaitFor([&] { return m_bar->SearchButton()->isEnabled(); }, 20000));
        EXPECT_EQ(m_bar->ResultLabel()->text(),
                  QStringLiteral("有 2 项符合关键字 \"妙笔\" 的结果, 在新闻搜索 (127.0.0.1:%1)中")
                      .arg(m_server.Port()));
        // The channel column names the service searched.
        EXPECT_EQ(m_list->Model()
                      ->data(m_list->Model()->index(0, CFeedItemModel::kChannel), Qt::DisplayRole)
                      .toString(),
                  QStringLiteral("新闻搜索 (127.0.0.1:%1)").arg(m_server.Port()));
        const std::string title = "结果" + std::to_string(round) + " 第1篇";
        EXPECT_EQ(ListedTitles(),
                  (Texts{QString::fromStdString(title),
                         QString::fromStdString("结果" + std::to_string(round) + " 第0篇")}));
    }
    // Only the second search's rows are kept; opening one reads it from there.
    FeedItem shown;
    ASSERT_TRUE(m_store.GetItem(m_list->Model()->Items()[0].Ref(), shown));
    EXPECT_EQ(shown.title, "结果2 第1篇");
    EXPECT_FALSE(m_store.GetItem(WebSearchItem(m_list->Model()->Items()[0].id - 2), shown));
    EXPECT_TRUE(m_boxes.Texts().empty());
    std::string host;
    ASSERT_TRUE(m_home.Context().Settings().ReadAppValue("rss/newssearchhost", host));
    EXPECT_EQ(host, Url(""));
}

// Closing the bar while the on-line search hangs gives the transfer up at once.
TEST_F(SearchAndCleanWindowsTest, ClosingTheBarWhileTheOnlineSearchHangsReturnsAtOnce) {
    loopback::CHangingServer hanging;
    const int threads = ThreadCount();
    m_bar->HostEdit()->setText(QString::fromStdString(hanging.Url("")));
    Search(QStringLiteral("妙笔"), SearchScope::kWeb);
    ExpectClosedWhileHanging(hanging, 1, threads, [&] { m_bar.reset(); });
}

// On-line results are rows of the scratch table, numbered apart from the received items: each
// action on one acts on its own row, never on the received item that has the same id.
TEST_F(SearchAndCleanWindowsTest, ActionsOnOnlineResultsActOnTheirOwnRows) {
    m_bar->HostEdit()->setText(QString::fromStdString(Url("/")));
    Search(QStringLiteral("妙笔"), SearchScope::kWeb);
    ASSERT_TRUE(WaitFor([&] { return m_bar->SearchButton()->isEnabled(); }, 20000));
    ASSERT_EQ(m_list->Model()->rowCount(), 2);
    const int unread = m_reader->Tree().Record(m_news).unreadCount;
    m_list->List()->setCurrentIndex(m_list->Model()->index(0, 0));
    const FeedItemRef result = m_list->SelectedItem();
    ASSERT_EQ(result.origin, ItemOrigin::kWebSearch);
    FeedItem twin;
    ASSERT_TRUE(m_store.GetItem(StoredItem(result.id), twin)) << "a received item, same id";
    const auto state = [&](const FeedItemRef& ref) {
        FeedItem item;
        EXPECT_TRUE(m_store.GetItem(ref, item));
        return std::pair(item.isRead, item.isNew);
    };

    // Opening marks the result read, as 标记为未读 / 标记为已读 mark it, in its own row.
    EXPECT_EQ(state(result), std::pair(1, 0));
    m_list->MarkSelected(false);
    EXPECT_EQ(state(result), std::pair(0, 0));
    m_list->MarkSelected(true);
    EXPECT_EQ(state(result), std::pair(1, 0));
    EXPECT_EQ(state(StoredItem(result.id)), std::pair(twin.isRead, twin.isNew));
    EXPECT_EQ(m_reader->Tree().Record(m_news).unreadCount, unread);

    // 加入收藏 and a drop on a box copy the result.
    CRssFavorites favorites(m_home.Context());
    CCommandTable commands;
    CRssFavoriteTreeCtrl boxes(favorites, m_store, commands, m_dialogJobs);
    ASSERT_TRUE(boxes.Build());
    int box = -1;
    ASSERT_TRUE(favorites.AddBox(-1, "盒", "", m_store, &box));
    ASSERT_TRUE(boxes.CopyItemsToBox({m_list->SelectedItem()}, box));
    std::unique_ptr<QMimeData> dragged(m_list->Model()->mimeData({m_list->Model()->index(1, 0)}));
    ASSERT_TRUE(boxes.DropData(dragged.get(), box));
    std::vector<FeedItem> kept;
    ASSERT_TRUE(favorites.Items(box, kept, m_store));
    std::vector<std::string> titles;
    for (const FeedItem& item : kept)
        titles.push_back(item.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"结果1 第0篇", "结果1 第1篇"}));

    // A new search drops the last results at once, also when it finds nothing.
    m_webFails = true;
    Search(QStringLiteral("妙笔"), SearchScope::kWeb);
    EXPECT_EQ(m_list->Model()->rowCount(), 0);
    ASSERT_TRUE(WaitFor([&] { return m_bar->SearchButton()->isEnabled(); }, 20000));
    FeedItem gone;
    EXPECT_FALSE(m_store.GetItem(result, gone));
    EXPECT_EQ(m_boxes.Texts().size(), 1u);
}

TEST_F(SearchAndCleanWindowsTest, TheCleaningWizardChecksCountsAsksThenCleansAndRecounts) {
    m_reader->Tree().SetUnreadCount(m_news, 12);
    m_reader->Tree().SetUnreadCount(m_sports, 3);
    CCommandTable commands;
    CRssChannelTreeCtrl channelTree(*m_reader, commands, m_dialogJobs);
    channelTree.Fill();
    const auto shownUnread = [&](int index) {
        return channelTree.ItemOf(index)->data(0, CRssChannelTreeCtrl::kUnreadRole).toInt();
    };
    CCleanWizard wizard(*m_reader);
    wizard.show();
    ASSERT_EQ(wizard.currentId(), CCleanWizard::kChannelsPage);
    wizard.next();
    EXPECT_EQ(wizard.currentId(), CCleanWizard::kChannelsPage);
    EXPECT_EQ(m_boxes.Texts(), Texts{QStringLiteral("请选择至少一个要清理的频道!")});
    m_boxes.Clear();

    QTreeWidget* channels = wizard.ChannelList();
    ASSERT_EQ(channels->topLevelItemCount(), 2);
    channels->topLevelItem(0)->setCheckState(0, Qt::Checked); // 新闻
    wizard.next();
    ASSERT_EQ(wizard.currentId(), CCleanWizard::kOptionsPage);

    for (const char* bad : {"366", "-1", "", "七"}) {
        wizard.DaysEdit()->setText(QString::fromUtf8(bad));
        wizard.StartCleaning();
    }
    EXPECT_EQ(m_boxes.Texts(), Texts(4, QStringLiteral("请输入 0 ~ 365 间的数字")));
    EXPECT_EQ(Stored(m_news), 12);
    m_boxes.Clear();

    // Read ones only, and none is read: nothing to ask about, nothing goes.
    wizard.DaysEdit()->setText(QStringLiteral("0"));
    wizard.StartCleaning();
    EXPECT_EQ(m_boxes.Texts(), Texts{QString::fromUtf8(CFeedCleaner::kNothingText)});
    EXPECT_TRUE(wizard.StartButton()->isEnabled());
    m_boxes.Clear();

    // Two read: the count is asked about; No keeps them, Yes removes them and the tree shows
    // what is left unread in the cleaned channel, the other keeps its count.
    std::vector<FeedItem> unread;
    int total = 0;
    ASSERT_TRUE(m_store.GetAllUnread(unread, total));
    int marked = 0;
    for (const FeedItem& item : unread)
        if (item.feedId == m_reader->Tree().Record(m_news).feedId && marked < 2)
            marked += m_store.SetItemRead(StoredItem(item.id), 1) ? 1 : 0;
    ASSERT_EQ(marked, 2);
    const QString readQuestion = QStringLiteral("将删除 2 篇文章。\n删除后不可恢复, 确定要清理吗?");
    m_boxes.Answer(false);
    wizard.StartCleaning();
    EXPECT_EQ(m_boxes.Texts(), Texts{readQuestion});
    EXPECT_EQ(Stored(m_news), 12);
    m_boxes.Clear();
    wizard.StartCleaning();
    EXPECT_EQ(m_boxes.Texts(), (Texts{readQuestion, QStringLiteral("清理完成!")}));
    EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("清理确认"));
    EXPECT_EQ(wizard.StartButton()->text(), QStringLiteral("清理完成"));
    EXPECT_FALSE(wizard.StartButton()->isEnabled());
    EXPECT_TRUE(wizard.button(QWizard::FinishButton)->isEnabled());
    EXPECT_EQ(Stored(m_news), 10);
    EXPECT_EQ(shownUnread(m_news), 10);
    EXPECT_EQ(shownUnread(m_sports), 3);
    m_boxes.Clear();

    CCleanWizard again(*m_reader);
    again.show();
    again.ChannelList()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    again.next();
    again.DaysEdit()->setText(QStringLiteral("0"));
    again.AllButton()->setChecked(true);
    again.StartCleaning();
    EXPECT_EQ(m_boxes.Texts().front(),
              QStringLiteral("将删除 10 篇文章, 其中 10 篇未读。\n删除后不可恢复, 确定要清理吗?"));
    EXPECT_EQ(Stored(m_news), 0);
    EXPECT_EQ(Stored(m_sports), 3) << "an unchecked channel keeps its items";
    EXPECT_EQ(shownUnread(m_news), 0);
    EXPECT_EQ(shownUnread(m_sports), 3);
}

TEST_F(SearchAndCleanWindowsTest, TheSearchCommandDocksTheBarAndHidesItAgain) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    EXPECT_EQ(frame.findChild<CSearchBar*>(), nullptr);
    frame.OnCommand(kCmdSearch);
    CSearchBar* bar = frame.findChild<CSearchBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(frame.dockWidgetArea(bar), Qt::LeftDockWidgetArea);
    frame.OnCommand(kCmdSearch);
    EXPECT_TRUE(bar->isHidden());
    frame.OnCommand(kCmdSearch);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(frame.findChildren<CSearchBar*>().size(), 1);

    // The bar belongs to the channels' side: it leaves with it and comes back with it.
    frame.SetSideMode(CMainFrame::kSideBlog);
    EXPECT_TRUE(bar->isHidden());
    frame.SetSideMode(CMainFrame::kSideFavorites);
    EXPECT_TRUE(bar->isHidden());
    frame.SetSideMode(CMainFrame::kSideRss);
    EXPECT_FALSE(bar->isHidden());

    // Another program (quillmark-cli settings set) changes the service: the bar follows when
    // it is shown again, in its address and in the name the scope box gives it.
    EXPECT_EQ(bar->ScopeBox()->itemText(static_cast<int>(SearchScope::kWeb)),
              QStringLiteral("百度新闻搜索"));
    ASSERT_TRUE(m_home.Context().Settings().WriteAppValue("rss/newssearchhost",
                                                          "https://news.example.org"));
    frame.OnCommand(kCmdSearch);
    frame.OnCommand(kCmdSearch);
    EXPECT_EQ(bar->HostEdit()->text(), QStringLiteral("https://news.example.org"));
    EXPECT_EQ(bar->ScopeBox()->itemText(static_cast<int>(SearchScope::kWeb)),
              QStringLiteral("新闻搜索 (news.example.org)"));
    // An address the user is typing stays while the settings change.
    bar->HostEdit()->setText(QStringLiteral("http://typed.example"));
    ASSERT_TRUE(
        m_home.Context().Settings().WriteAppValue("rss/newssearchhost", "http://news.baidu.com"));
    bar->FollowSettings();
    EXPECT_EQ(bar->HostEdit()->text(), QStringLiteral("http://typed.example"));
    frame.Shutdown();
}
