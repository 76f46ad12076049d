#include "ui/app/MainFrame.h"
#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "platform/LoopbackServer.h"
#include "reader/ChannelTree.h"
#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/ShortcutHelpDialog.h"
#include "ui/common/CommandIds.h"
#include "ui/common/PopupWindow.h"
#include "ui/common/UiText.h"
#include "ui/reader/ArticlesReportView.h"
#include "ui/reader/FavoriteBoxPicker.h"
#include "ui/reader/FavoritesPane.h"
#include "ui/reader/FeedItemModel.h"
#include "ui/reader/RssChannelTreeCtrl.h"
#include "ui/reader/RssFavoriteTreeCtrl.h"
#include "ui/reader/RssReader.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeView>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

std::string Value(const std::string& key) {
    std::string value;
    EXPECT_EQ(CAppContext::Process().Settings().ReadAppValue(key, value), 1) << key;
    return value;
}

QStringList MenuTitles(CMainFrame& frame) {
    QStringList titles;
    for (QAction* action : frame.menuBar()->actions())
        titles << action->text();
    return titles;
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    CTempHome m_home{{.processDir = true}};
    CRecordingMessageBoxes m_boxes;
};

TEST_F(MainFrameTest, EachSideTabHasItsOwnMenusAndToolbar) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{100, 80, 1000, 700, 220, 260}));
    frame.PlaceWindow(WindowPlacement{100, 80, 1000, 700, 220, 260});
    const QStringList tabs = {frame.SideTabs()->tabText(0), frame.SideTabs()->tabText(1),
                              frame.SideTabs()->tabText(2)};
    EXPECT_EQ(tabs, (QStringList{QStringLiteral("博客"), QStringLiteral("RSS订阅"),
                                 QStringLiteral("收藏")}));

    frame.SideTabs()->setCurrentIndex(CMainFrame::kSideFavorites);
    EXPECT_EQ(frame.SideMode(), CMainFrame::kSideFavorites);
    EXPECT_EQ(MenuTitles(frame), (QStringList{QStringLiteral("收藏夹"), QStringLiteral("帮助")}));
    EXPECT_TRUE(frame.ToolBarOf(CMainFrame::kSideFavorites)->isVisibleTo(&frame));
    EXPECT_FALSE(frame.ToolBarOf(CMainFrame::kSideBlog)->isVisibleTo(&frame));
    EXPECT_FALSE(frame.ToolBarOf(CMainFrame::kSideRss)->isVisibleTo(&frame));
    EXPECT_EQ(Value("outbarmode"), "2");

    frame.SideTabs()->setCurrentIndex(CMainFrame::kSideBlog);
    EXPECT_EQ(MenuTitles(frame), (QStringList{QStringLiteral("工具"), QStringLiteral("帮助")}));
    EXPECT_TRUE(frame.ToolBarOf(CMainFrame::kSideBlog)->isVisibleTo(&frame));

    frame.SideTabs()->setCurrentIndex(CMainFrame::kSideRss);
    EXPECT_EQ(MenuTitles(frame), (QStringList{QStringLiteral("频道"), QStringLiteral("查看"),
                                              QStringLiteral("工具"), QStringLiteral("帮助")}));
    EXPECT_EQ(Value("outbarmode"), "1");
}

TEST_F(MainFrameTest, CommandsFilterChoicesAndTheBlogResultPopup) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    for (int id : {kCmdComposePost, kCmdAccountSettings}) {
        ASSERT_NE(frame.Action(id), nullptr) << id;
        EXPECT_FALSE(frame.Action(id)->isEnabled()) << id;
    }
    for (int id :
         {kCmdAddSubscription, kCmdNewDirectory, kCmdReceiveAll, kCmdReaderSettings,
          kCmdSystemSettings, kCmdBlogSettings, kCmdCompactRssDb, kCmdAbout, kCmdImportOpml,
          kCmdExportAll, kCmdExportChannel, kCmdNewFavorite, kCmdNewFavoriteFolder,
          kCmdAddFavoriteItem, kCmdImportFavorites, kCmdSearch, kCmdCleanWizard}) {
        ASSERT_NE(frame.Action(id), nullptr) << id;
        EXPECT_TRUE(frame.Action(id)->isEnabled()) << id;
    }
    // The box lists all, unread, read, new; the stored codes are in another order.
    ASSERT_EQ(frame.FilterBox()->count(), 4);
    EXPECT_EQ(frame.FilterBox()->itemText(1), QStringLiteral(" 显示未读项"));
    const ItemFilter codes[] = {ItemFilter::kAll, ItemFilter::kUnread, ItemFilter::kRead,
                                ItemFilter::kNew};
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(CMainFrame::FilterCodeAt(row), codes[row]) << row;

    EXPECT_EQ(frame.StatusText(), QStringLiteral("就绪"));
    frame.OnWindowMessage(WM_BLOG_RESULT, 0, 3);
    EXPECT_FALSE(frame.Popup()->IsShowing());
    frame.OnWindowMessage(WM_BLOG_RESULT, 0, 2);
    EXPECT_TRUE(frame.Popup()->IsShowing());
    EXPECT_EQ(frame.Popup()->Text(), QStringLiteral("文章发布成功!"));
    EXPECT_EQ(frame.Popup()->Duration(), 5000);
}

TEST_F(MainFrameTest, ShutdownWritesGeometryPanesAndModes) {
    {
        CMainFrame frame;
        const WindowPlacement placement{120, 90, 1020, 690, 230, 250};
        ASSERT_TRUE(frame.Create(placement));
        frame.PlaceWindow(placement);
        WaitFor([&] { return frame.isVisible(); });
        frame.SetSplitterDirection(CMainFrame::kListRight);
        EXPECT_EQ(frame.ReadingSplitter()->orientation(), Qt::Horizontal);
        frame.SetSplitterDirection(7); // outside 0..4: ignored
        EXPECT_EQ(frame.SplitterDirection(), CMainFrame::kListRight);
        frame.SideTabs()->setCurrentIndex(CMainFrame::kSideBlog);
        frame.Shutdown();
    }
    WindowPlacement saved;
    ASSERT_EQ(m_home.Context().Settings().ReadWindowPlacement(saved), 1);
    EXPECT_EQ(saved.left, 120);
    EXPECT_EQ(saved.top, 90);
    EXPECT_EQ(saved.right, 1020);
    EXPECT_EQ(saved.bottom, 690);
    EXPECT_GT(saved.leftFrameWidth, 0);
    EXPECT_GT(saved.topFrameHeight, 0);
    EXPECT_EQ(Value("splitterdirection"), "3");
    EXPECT_EQ(Value("viewframemode"), "0");
    EXPECT_EQ(Value("outbarmode"), "0");
    // The exit flag stays set for the rest of the process; the next frame clears it.
    CMainFrame next;
    EXPECT_EQ(g_bAppExiting.load(), 0);
}

TEST_F(MainFrameTest, AMaximisedWindowIsSavedAsZeros) {
    {
        CMainFrame frame;
        ASSERT_TRUE(frame.Create(WindowPlacement{}));
        frame.PlaceWindow(WindowPlacement{});
        ASSERT_TRUE(WaitFor([&] { return frame.isMaximized(); }));
        frame.Shutdown();
    }
    WindowPlacement saved;
    ASSERT_EQ(m_home.Context().Settings().ReadWindowPlacement(saved), 1);
    EXPECT_EQ(std::vector<int>({saved.left, saved.top, saved.right, saved.bottom}),
              std::vector<int>(4, 0));
}

TEST_F(MainFrameTest, AMissingViewSettingEndsTheStart) {
    std::string config = ReadAll(m_home.File("config/appConfig.xml"));
    const auto at = config.find("<outbarmode>");
    ASSERT_NE(at, std::string::npos);
    config.erase(at, config.find("</outbarmode>") + 13 - at);
    WriteAll(m_home.File("config/appConfig.xml"), config);
    CMainFrame frame;
    EXPECT_FALSE(frame.Create(WindowPlacement{}));
    ASSERT_FALSE(m_boxes.Errors().empty());
    EXPECT_EQ(m_boxes.Errors()[0].id, 7001);
}

TEST_F(MainFrameTest, TheTrayMenuBringsTheWindowBackAndTheViewMenuArrangesThePanes) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    QStringList texts;
    for (QAction* action : frame.TrayMenu()->actions())
        if (!action->isSeparator())
            texts << action->text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("显示主窗体"), QStringLiteral("RSS阅读器设置..."),
                                  QStringLiteral("系统设置..."), QStringLiteral("关于..."),
                                  QStringLiteral("退出")}));
    EXPECT_EQ(frame.TrayMenu()->defaultAction(), frame.TrayMenu()->actions().first());
    frame.PlaceWindow(WindowPlacement{10, 10, 810, 610, 200, 300});
    frame.showMinimized();
    ASSERT_TRUE(WaitFor([&] { return frame.isMinimized(); }));
    frame.TrayMenu()->actions().first()->trigger();
    EXPECT_TRUE(WaitFor([&] { return !frame.isMinimized() && frame.isVisible(); }));

    // 阅读窗格 offers five arrangements.
    QMenu* pane = nullptr;
    for (QAction* action : frame.MenusOf(CMainFrame::kSideRss).at(1)->actions())
        if (action->menu() && action->text() == QStringLiteral("阅读窗格"))
            pane = action->menu();
    ASSERT_NE(pane, nullptr);
    ASSERT_EQ(pane->actions().size(), 5);
    pane->actions().at(CMainFrame::kListLeft)->trigger();
    EXPECT_EQ(frame.SplitterDirection(), CMainFrame::kListLeft);
    EXPECT_EQ(frame.ReadingSplitter()->orientation(), Qt::Horizontal);
    EXPECT_EQ(frame.ReadingSplitter()->indexOf(frame.ItemList()), 0);
    pane->actions().at(CMainFrame::kListBelow)->trigger();
    EXPECT_EQ(frame.ReadingSplitter()->orientation(), Qt::Vertical);
    EXPECT_EQ(frame.ReadingSplitter()->indexOf(frame.ItemList()), 1);
    EXPECT_TRUE(pane->actions().at(CMainFrame::kListBelow)->isChecked());
}

// While a channel is received the status line names it by its path; a failure stays in sight
// after the walk's end.
TEST_F(MainFrameTest, TheStatusLineFollowsAReceiveAndSaysWhyAChannelFailed) {
    loopback::CHttpServer server;
    server.Server().Get("/a.xml", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<rss version=\"2.0\"><channel><title>A</title><item><title>一</title>"
                        "<link>http://x/1</link></item></channel></rss>",
                        "application/rss+xml");
    });
    server.Server().Get("/gone.xml",
                        [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
    server.Start();
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    CChannelTree& tree = frame.Reader()->Tree();
    int directory = -1;
    ASSERT_TRUE(tree.AddDirectory(-1, "新闻", &directory));
    int good = -1;
    const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
    ASSERT_TRUE(tree.AddSubscription(directory, base + "/a.xml", "科技", "", &good));
    QStringList shown;
    QObject::connect(frame.Reader(), &CRssReader::ReceiveBegin,
                     [&](int) { shown << frame.StatusText(); });
    frame.OnCommand(kCmdReceiveAll);
    ASSERT_TRUE(WaitFor(
        [&] { return !shown.isEmpty() && frame.StatusText() == QStringLiteral("就绪"); }, 20000));
    EXPECT_EQ(shown.value(0), QStringLiteral(" 正在更新: 新闻 → 科技 . . ."));

    ASSERT_TRUE(tree.RemoveEntry(good));
    ASSERT_TRUE(tree.AddSubscription(directory, base + "/gone.xml", "坏", ""));
    frame.OnCommand(kCmdReceiveAll);
    const QString failed = QStringLiteral(" 收取失败: 新闻 → 坏 — HTTP 404 (页面不存在)");
    EXPECT_TRUE(WaitFor([&] { return frame.StatusText() == failed; }, 20000))
        << frame.StatusText().toStdString();
    frame.Reader()->Scheduler().Wait();
    QApplication::processEvents();
    EXPECT_EQ(frame.StatusText(), failed) << "the walk's end keeps the failure in sight";
}

// A walk over several channels counts them on the status line with a stop button beside, ends
// with its summary and one notification for the channels that asked for one, and the tray
// says how many items are unread.
TEST_F(MainFrameTest, AWalkIsCountedOnTheStatusLineAndAnnouncedOnce) {
    std::atomic<bool> release{false};
    const auto feed = [](int items) {
        std::string xml = "<rss version=\"2.0\"><channel><title>T</title>";
        for (int i = 0; i < items; ++i)
            xml += "<item><title>t" + std::to_string(i) + "</title><link>http://x/" +
                   std::to_string(items) + "/" + std::to_string(i) + "</link></item>";
        return xml + "</channel></rss>";
    };
    loopback::CHttpServer server;
    server.Server().Get(R"(/(\d)\.xml)", [&](const httplib::Request& req, httplib::Response& res) {
        const int items = std::stoi(req.matches[1]);
        // The one-item feed answers only when the test lets it.
        while (items == 1 && !release)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        res.set_content(feed(items), "application/rss+xml");
    });
    server.Start();
    // Whatever happens below, the held answer goes before the server stops.
    struct CRelease {
        std::atomic<bool>& flag;
        ~CRelease() { flag = true; }
    } releaseAtEnd{release};
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    CChannelTree& tree = frame.Reader()->Tree();
    const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
    for (const auto& [name, items] : {std::pair{"甲", 2}, {"乙", 3}, {"丙", 1}}) {
        int index = -1;
        const std::string url = base + "/" + std::to_string(items) + ".xml";
        ASSERT_TRUE(tree.AddSubscription(-1, url, name, "", &index));
        ChannelProperties properties{.title = name, .xmlUrl = url, .newItemShowTip = 1};
        ASSERT_TRUE(tree.SetChannelProperties(index, properties, frame.Reader()->Store()));
    }
    frame.OnCommand(kCmdReceiveAll);
    const QString waiting = QStringLiteral("正在收取 2/3 · 5 个新条目");
    ASSERT_TRUE(WaitFor([&] { return frame.StatusText() == waiting; }, 20000))
        << frame.StatusText().toStdString();
    EXPECT_FALSE(frame.StopReceiveButton()->isHidden());
    release = true;
    const QString done = QStringLiteral("收取完成: 3 个频道 · 6 个新条目");
    ASSERT_TRUE(WaitFor([&] { return frame.StatusText() == done; }, 20000))
        << frame.StatusText().toStdString();
    EXPECT_TRUE(frame.StopReceiveButton()->isHidden());
    EXPECT_EQ(frame.Popup()->Text(),
              QStringLiteral("3 个频道有 6 个新条目\r\n乙 (3), 甲 (2), 丙 (1)"));
    EXPECT_EQ(frame.TrayToolTip(), AppTitle() + QStringLiteral("\n未读 6 篇"));
}

// Reading with the keyboard alone: N and P walk the unread items across channels in tree
// order, M turns the read mark, S keeps the item in the box chosen last, and the 快捷键 window
// lists the keys.
TEST_F(MainFrameTest, TheKeyboardWalksTheUnreadItemsAcrossChannels) {
    loopback::CHttpServer server;
    const auto feed = [](const std::string& name, int items) {
        std::string xml = "<rss version=\"2.0\"><channel><title>" + name + "</title>";
        for (int i = 1; i <= items; ++i)
            xml += "<item><title>" + name + std::to_string(i) + "</title><link>http://x/" + name +
                   std::to_string(i) + "</link><pubDate>Tue, 0" + std::to_string(9 - i) +
                   " Mar 2026 09:00:00 GMT</pubDate></item>";
        return xml + "</channel></rss>";
    };
    server.Server().Get("/a.xml", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(feed("A", 2), "application/rss+xml");
    });
    server.Server().Get("/b.xml", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(feed("B", 1), "application/rss+xml");
    });
    server.Start();
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    CChannelTree& tree = frame.Reader()->Tree();
    const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
    ASSERT_TRUE(tree.AddSubscription(-1, base + "/a.xml", "A", ""));
    ASSERT_TRUE(tree.AddSubscription(-1, base + "/b.xml", "B", ""));
    // Leaving a channel does not mark its items read here: what P finds stays unread.
    ChannelTreeOptions options = tree.Options();
    options.markReadOnSwitch = 0;
    tree.SetOptions(options);
    frame.ChannelTree()->Fill();
    frame.OnCommand(kCmdReceiveAll);
    frame.Reader()->Scheduler().Wait();
    QApplication::processEvents();
    CArticlesReportView* list = frame.ItemList();
    const auto selected = [&] {
        const FeedItem* item = list->Model()->ItemAt(list->List()->currentIndex().row());
        return item ? QString::fromStdString(item->title) : QString();
    };

    std::vector<QString> walked;
    for (int i = 0; i < 3; ++i) {
        frame.OnCommand(kCmdNextUnread);
        walked.push_back(selected());
    }
    EXPECT_EQ(walked, (std::vector<QString>{QStringLiteral("A1"), QStringLiteral("A2"),
                                            QStringLiteral("B1")}));
    frame.OnCommand(kCmdNextUnread);
    EXPECT_EQ(frame.StatusText(), QStringLiteral("没有未读的文章"));
    EXPECT_EQ(selected(), QStringLiteral("B1"));

    // M marks B1 unread again; P goes back round to it from A.
    frame.OnCommand(kCmdToggleItemRead);
    EXPECT_EQ(list->Model()->ItemAt(list->List()->currentIndex().row())->isRead, 0);
    // I marks it important, in the list and in the store, and I again takes the mark off.
    const auto important = [&] {
        const FeedItem* item = list->Model()->ItemAt(list->List()->currentIndex().row());
        FeedItem stored;
        EXPECT_TRUE(frame.Reader()->Store().GetItem(item->Ref(), stored));
        EXPECT_EQ(stored.isImportant, item->isImportant);
        return list->Model()
                   ->index(list->List()->currentIndex().row(), CFeedItemModel::kImportant)
                   .data()
                   .toString() == QStringLiteral("★");
    };
    frame.OnCommand(kCmdToggleItemImportant);
    EXPECT_TRUE(important());
    frame.OnCommand(kCmdToggleItemImportant);
    EXPECT_FALSE(important());
    frame.ChannelTree()->SelectIndex(tree.AllChannels().front());
    frame.OnCommand(kCmdPreviousUnread);
    EXPECT_EQ(selected(), QStringLiteral("B1"));

    // S: the first time the box is picked, then it is the box chosen last.
    CFeedDatabase store(m_home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    ASSERT_TRUE(frame.FavoritesPane()->Favorites().AddBox(-1, "稍后读", "", store));
    frame.FavoritesPane()->Tree()->Fill();
    int picked = 0;
    CFavoriteBoxPicker::SetHook([&](CFavoriteBoxPicker& picker) -> std::optional<int> {
        ++picked;
        picker.Tree()->setCurrentItem(picker.Tree()->topLevelItem(0));
        return picker.CurrentBox();
    });
    frame.OnCommand(kCmdKeepItem);
    frame.OnCommand(kCmdNextArticle);
    frame.OnCommand(kCmdKeepItem);
    CFavoriteBoxPicker::SetHook({});
    EXPECT_EQ(picked, 1);
    EXPECT_EQ(frame.StatusText(), QStringLiteral("已加入收藏 \"稍后读\": 1 篇文章"));

    // The keys are on the commands of the channels' side and in the 快捷键 window.
    EXPECT_EQ(frame.Action(kCmdNextUnread)->shortcut(), QKeySequence(Qt::Key_N));
    EXPECT_EQ(frame.Action(kCmdReceiveChannel)->shortcut(), QKeySequence(Qt::Key_R));
    EXPECT_TRUE(frame.Action(kCmdNextArticle)->shortcuts().contains(QKeySequence(Qt::Key_J)));
    CShortcutHelpDialog help(*frame.Commands());
    QStringList rows;
    for (int i = 0; i < help.Table()->topLevelItemCount(); ++i)
        rows << help.Table()->topLevelItem(i)->text(0) + QLatin1Char('=') +
                    help.Table()->topLevelItem(i)->text(1);
    EXPECT_TRUE(rows.contains(QStringLiteral("N=下一篇未读"))) << rows.join(' ').toStdString();
    EXPECT_TRUE(rows.contains(QStringLiteral("I=标记为重要/取消"))) << rows.join(' ').toStdString();
    EXPECT_TRUE(rows.contains(QStringLiteral("Ctrl+Down / J=下一篇")))
        << rows.join(' ').toStdString();
    frame.Shutdown();
}

TEST_F(MainFrameTest, ReceivingLeavesTheSearchResultsTheUserReads) {
    loopback::CHttpServer server;
    server.Server().Get("/a.xml", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<rss version=\"2.0\"><channel><title>A</title><item><title>一</title>"
                        "<link>http://x/1</link></item></channel></rss>",
                        "application/rss+xml");
    });
    server.Start();
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    frame.SetSideMode(CMainFrame::kSideRss);
    int index = -1;
    ASSERT_TRUE(frame.Reader()->Tree().AddSubscription(
        -1, "http://127.0.0.1:" + std::to_string(server.Port()) + "/a.xml", "科技", "", &index));
    frame.ItemList()->ShowChannel(index);
    frame.ItemList()->ShowSearchResults({FeedItem{.title = "找到的"}}, "搜索结果");
    ASSERT_TRUE(frame.ItemList()->ShowsSearchResults());

    frame.OnCommand(kCmdReceiveAll);
    frame.Reader()->Scheduler().Wait();
    QApplication::processEvents();
    EXPECT_GT(frame.Reader()->Tree().Record(index).unreadCount, 0);
    EXPECT_TRUE(frame.ItemList()->ShowsSearchResults());
}

// The on-line results of an earlier run are listed nowhere after a start: their rows go.
TEST_F(MainFrameTest, AStartForgetsTheLastOnlineResults) {
    {
        CFeedDatabase store(m_home.Context());
        ASSERT_TRUE(Done(store.OpenStore()));
        std::vector<FeedItem> results{{.title = "昨天搜到的"}};
        ASSERT_TRUE(store.SaveTempItems(0, results));
    }
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    FeedItem item;
    EXPECT_FALSE(frame.Reader()->Store().GetItem(WebSearchItem(1), item));
}

TEST(PopupTexts, BlogResultsAndNewItems) {
    EnsureApp();
    EXPECT_EQ(CPopupWindow::BlogResultText(1), QStringLiteral("文章删除成功!"));
    EXPECT_TRUE(CPopupWindow::BlogResultText(3).isEmpty());
    EXPECT_TRUE(CPopupWindow::BlogResultText(-1).isEmpty());
    EXPECT_EQ(CPopupWindow::NewItemsText(QStringLiteral("A"), 12),
              QStringLiteral("A\r\n有 12 个更新"));

    CPopupWindow popup;
    popup.Popup(CPopupWindow::NewItemsText(QStringLiteral("频道甲"), 3), CPopupWindow::kNewItemsMs);
    EXPECT_TRUE(popup.IsShowing());
    EXPECT_EQ(popup.Duration(), 3000);
    // A new notification replaces the old one.
    popup.Popup(CPopupWindow::BlogResultText(0), CPopupWindow::kBlogResultMs);
    EXPECT_EQ(popup.Text(), QStringLiteral("文章已经接收完毕!"));
    EXPECT_EQ(popup.Duration(), 5000);
}

} // namespace
