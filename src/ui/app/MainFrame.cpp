#include "ui/app/MainFrame.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/ProxySetup.h"
#include "platform/fs/FileUtil.h"
#include "reader/FeedItemView.h"
#include "reader/FeedSearch.h"
#include "shell/BrowserLink.h"
#include "shell/ShellRegistration.h"
#include "ui/app/AboutDialog.h"
#include "ui/app/CommandTable.h"
#include "ui/app/PropertyPageDebug.h"
#include "ui/app/PropertyPageProxy.h"
#include "ui/app/PropertyPageSystemGeneral.h"
#include "ui/app/ShortcutHelpDialog.h"
#include "ui/blog/AccountSetupCommands.h"
#include "ui/blog/AccountTreeCtrl.h"
#include "ui/blog/BlogArticlesView.h"
#include "ui/blog/BlogWorkspace.h"
#include "ui/common/AppIcons.h"
#include "ui/common/BottomHtmlView.h"
#include "ui/common/CommandIds.h"
#include "ui/common/MessageBox.h"
#include "ui/common/PopupWindow.h"
#include "ui/common/PropertySheet.h"
#include "ui/common/ReadingFrame.h"
#include "ui/common/UiText.h"
#include "ui/reader/ArticlesReportView.h"
#include "ui/reader/CleanWizard.h"
#include "ui/reader/FavoriteItemList.h"
#include "ui/reader/FavoritesPane.h"
#include "ui/reader/FeedRulesDialog.h"
#include "ui/reader/PropertyPageRssSetupAppearance.h"
#include "ui/reader/PropertyPageRssSetupGeneral.h"
#include "ui/reader/PropertyPageRssSetupStatistics.h"
#include "ui/reader/PropertyPageRssSetupStorage.h"
#include "ui/reader/RssChannelTreeCtrl.h"
#include "ui/reader/RssFavoriteTreeCtrl.h"
#include "ui/reader/RssReader.h"
#include "ui/reader/SearchBar.h"
#include "ui/shell/ControlFavorites.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QWindowStateChangeEvent>
#include <algorithm>

namespace {

// The filter box lists all, unread, read, new; the item views count all, read, unread, new.
constexpr ItemFilter kFilterCodes[] = {ItemFilter::kAll, ItemFilter::kUnread, ItemFilter::kRead,
                                       ItemFilter::kNew};

void OpenAddress(const char* address) {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(address)));
}

QString ProgramPath(const char* name) {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QString::fromLatin1(name);
}

} // namespace

CMainFrame::CMainFrame()
    : m_context(CAppContext::Process()), m_articleStore(m_context), m_feedStore(m_context) {
    g_bAppExiting = 0;
    setObjectName(QStringLiteral("QUILLMainProcessClass1.0"));
    setWindowTitle(AppTitle());
    setWindowIcon(AppIcon());
}

CMainFrame::~CMainFrame() {
    Shutdown();
    // The dialogs are gone and have cancelled their jobs: what is left of them ends here.
    m_windowJobs.Shutdown();
}

ItemFilter CMainFrame::FilterCodeAt(int boxIndex) {
    if (boxIndex < 0 || boxIndex > 3)
        return ItemFilter::kAll;
    return kFilterCodes[boxIndex];
}

QString CMainFrame::FailureText(const QString& path, const QString& reason) {
    return QStringLiteral(" 收取失败: ") + path + QStringLiteral(" — ") + reason;
}

QString CMainFrame::ReceivingText(const QString& path) {
    return QStringLiteral(" 正在更新: ") + path + QStringLiteral(" . . .");
}

void CMainFrame::ShowReceiveProgress(const ReceiveProgress& progress) {
    // A new round after a quiet moment: the failures of the last one are old news.
    if (!m_roundRunning) {
        m_roundRunning = true;
        m_roundFailures.clear();
        if (m_status)
            m_status->setToolTip(QString());
    }
    // One channel names itself as it begins; several are counted.
    m_roundTotal = progress.total;
    if (progress.total > 1 || progress.stopped)
        SetStatus(ToQ(progress.Text()));
    m_stopReceive->setVisible(true);
    m_stopReceive->setEnabled(!progress.stopped);
}

void CMainFrame::EndReceiveRound(const ReceiveProgress& progress,
                                 const std::vector<NewItemsNote>& announce) {
    m_roundRunning = false;
    m_stopReceive->setVisible(false);
    // The summary stays in sight until the next receive begins; a single failure names its
    // channel and reason on the line, several are listed in its tooltip.
    if (progress.total == 1 && !progress.stopped)
        SetStatus(m_roundFailures.isEmpty() ? QStringLiteral("就绪") : m_roundFailures.front());
    else
        SetStatus(ToQ(progress.Text()));
    if (m_status) {
        constexpr int kListed = 20;
        QStringList listed = m_roundFailures.mid(0, kListed);
        if (m_roundFailures.size() > kListed)
            listed << QStringLiteral("……");
        m_status->setToolTip(listed.join(QStringLiteral("\n")));
    }
    AnnounceNewItems(announce);
    ScheduleTrayToolTip();
}

QString CMainFrame::TrayToolTip() const {
    const int unread = m_reader->Tree().UnreadTotal();
    if (unread <= 0)
        return AppTitle();
    return AppTitle() + QStringLiteral("\n未读 ") + QString::number(unread) + QStringLiteral(" 篇");
}

void CMainFrame::ScheduleTrayToolTip() {
    // Counts change channel by channel while a receive runs: the tooltip is written once for
    // each burst.
    if (m_trayTipDue)
        return;
    m_trayTipDue = true;
    QTimer::singleShot(200, this, [this] {
        m_trayTipDue = false;
        if (m_tray)
            m_tray->setToolTip(TrayToolTip());
    });
}

bool CMainFrame::Create(const WindowPlacement& placement) {
    StartupOptions options;
    if (!m_context.Settings().ReadStartupOptions(options))
        return false;
    m_enableAutoUpdate = options.enableAutoUpdate != 0;
    m_minimizeToTray = options.enableMinimizeToNotifyArea != 0;

    std::string paneState;
    std::string direction;
    std::string sideMode;
    if (!m_context.Settings().ReadAppValue("viewframemode", paneState) ||
        !m_context.Settings().ReadAppValue("splitterdirection", direction) ||
        !m_context.Settings().ReadAppValue("outbarmode", sideMode))
        return false;
    // The pane state is written at exit but not applied at start: both panes show.
    const int savedDirection = CAppSettings::ToInt(direction);
    if (savedDirection >= kListAbove && savedDirection <= kDirectionAuto)
        m_direction = savedDirection;
    const int savedMode = CAppSettings::ToInt(sideMode);
    m_sideMode = savedMode >= kSideBlog && savedMode <= kSideFavorites ? savedMode : kSideRss;

    if (const StoreResult opened = m_articleStore.OpenStore(); !opened) {
        CMessageBox::Show(nullptr, ToQ(opened.reason));
        return false;
    }
    if (const StoreResult opened = m_feedStore.OpenStore(); !opened) {
        CMessageBox::Show(nullptr, ToQ(opened.reason));
        return false;
    }

    m_reader = std::make_unique<CRssReader>(m_context, m_feedStore);
    BuildActions();
    BuildPanes(placement);
    BuildMenus();
    BuildToolBars();
    m_status = new QLabel(QStringLiteral("就绪"));
    m_status->setContentsMargins(4, 0, 4, 0);
    statusBar()->addWidget(m_status, 1);
    // The on-line search results of an earlier run are no longer listed anywhere.
    if (const StoreResult cleared = m_feedStore.ClearTempItems(CFeedSearch::kWebFeedId); !cleared)
        m_status->setText(QStringLiteral("无法清除上次的新闻搜索结果: ") + ToQ(cleared.reason));
    m_popup = new CPopupWindow(this);
    connect(m_popup, &CPopupWindow::TextClicked, this, &CMainFrame::ShowMainWindow);

    // The reader: the tree fills from the channel file, receiving starts as the settings say.
    m_reader->Build();
    m_blog->Build();
    m_channelTree->Fill();
    m_favoriteTree->Build();
    AppearanceSettings appearance;
    if (m_context.Settings().ReadAppearanceSettings(appearance))
        m_list->ApplyAppearance(appearance);
    m_stopReceive = new QToolButton;
    m_stopReceive->setText(QStringLiteral("停止"));
    m_stopReceive->setToolTip(QStringLiteral("停止收取; 还没有收到的频道保持原样"));
    m_stopReceive->setAutoRaise(true);
    m_stopReceive->setVisible(false);
    statusBar()->addPermanentWidget(m_stopReceive);
    connect(m_stopReceive, &QToolButton::clicked, this,
            [this] { m_reader->Scheduler().StopRound(); });
    connect(m_reader.get(), &CRssReader::Progress, this, &CMainFrame::ShowReceiveProgress);
    connect(m_reader.get(), &CRssReader::ReceiveBegin, this, [this](int index) {
        if (m_roundTotal <= 1)
            SetStatus(ReceivingText(ToQ(m_reader->Tree().PathText(index))));
    });
    connect(m_reader.get(), &CRssReader::RoundEnded, this, &CMainFrame::EndReceiveRound);
    connect(m_reader.get(), &CRssReader::UnreadChanged, this, &CMainFrame::ScheduleTrayToolTip);
    connect(m_reader.get(), &CRssReader::CountsChanged, this, &CMainFrame::ScheduleTrayToolTip);
    connect(m_reader.get(), &CRssReader::ChannelDone, this,
            [this](const ChannelReceiveResult& result) {
                const int index = result.index;
                // New items of the channel being read appear in the list at once (search
                // results the user is reading stay as they are).
                if (result.Ok() && result.newItems > 0 && m_sideMode == kSideRss &&
                    index == m_reader->View().Current() && !m_list->ShowsSearchResults())
                    m_list->ShowCurrentItems();
                if (result.Failed())
                    m_roundFailures.append(
                        FailureText(ToQ(m_reader->Tree().PathText(index)), ToQ(result.reason)));
            });
    connect(m_reader.get(), &CRssReader::ReloadList, this, [this](int feedId) {
        const int current = m_reader->View().Current();
        if (m_sideMode == kSideRss && current >= 0 && !m_list->ShowsSearchResults() &&
            m_reader->Tree().Record(current).feedId == feedId)
            m_list->ShowCurrentItems();
    });

    ApplySideMode(m_sideMode);
    ArrangeReadingArea();
    BuildTray();
    m_reader->StartReceiving();
    StartUpdateCheck();
    return true;
}

void CMainFrame::BuildActions() {
    m_commands = new CCommandTable(this);
    // Every command's action exists before the menus and toolbars take them.
    for (const CommandEntry& entry : CCommandTable::Entries())
        m_commands->Action(entry.id);
    Action(kCmdAddSubscription)->setIcon(ThemeIcon("list-add", QStyle::SP_FileDialogNewFolder));
    RegisterCommands();
}

void CMainFrame::RegisterCommands() {
    // The channels' and the favorites' commands are the trees' own: they register them as
    // they are made (BuildPanes).
    CCommandTable& c = *m_commands;
    c.Handle(kCmdSystemSettings, [this] { OnSystemSettings(); });
    c.Handle(kCmdReaderSettings, [this] { OnReaderSettings(); });
    c.Handle(kCmdBlogSettings, [this] { OnBlogSettings(); });
    c.Handle(kCmdCompactRssDb, [this] { OnCompactRssDatabase(); });
    c.Handle(kCmdAbout, [this] { OnAbout(); });
    c.Handle(kCmdShowMainWindow, [this] { ShowMainWindow(); });
    c.Handle(kCmdExit, [this] { close(); });
    c.Handle(kCmdHelpPage, [] { OpenAddress(kHelpPageAddress); });
    c.Handle(kCmdSupportForum, [] { OpenAddress(kSupportForumAddress); });
    c.Handle(kCmdSupportSite, [] { OpenAddress(kSupportSiteAddress); });
    c.Handle(kCmdQuickReading,
             [this] { m_list->SetQuickReading(Action(kCmdQuickReading)->isChecked()); });
    c.Handle(kCmdPreviousArticle, [this] { m_list->MoveSelection(-1); });
    c.Handle(kCmdNextArticle, [this] { m_list->MoveSelection(1); });
    // J and K as in other readers, beside the menu's Ctrl+Down and Ctrl+Up.
    Action(kCmdNextArticle)->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Down), Qt::Key_J});
    Action(kCmdPreviousArticle)->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Up), Qt::Key_K});
    for (int direction : {1, -1})
        c.Handle(direction > 0 ? kCmdNextUnread : kCmdPreviousUnread, [this, direction] {
            if (!m_list->GoToUnread(direction))
                SetStatus(QStringLiteral("没有未读的文章"));
        });
    c.Handle(kCmdOpenItemLink, [this] { m_list->OpenSelectedLink(); });
    c.Handle(kCmdToggleItemRead, [this] { m_list->ToggleSelectedRead(); });
    c.Handle(kCmdToggleItemImportant, [this] { m_list->ToggleSelectedImportant(); });
    c.Handle(kCmdKeepItem, [this] {
        if (const FeedItemRef item = m_list->SelectedItem(); item.id > 0)
            m_favoriteTree->KeepItem(item);
    });
    c.Handle(kCmdShortcutHelp, [this] {
        CShortcutHelpDialog help(*m_commands, this);
        help.exec();
    });
    c.Handle(kCmdBrowseDirectly, [this] { m_readingFrame->OnCommand(kCmdBrowseDirectly); });
    c.Handle(kCmdBrowserMenuAdd, [this] { OnBrowserMenuAdd(); });
    c.Handle(kCmdBrowserMenuRemove, [this] { OnBrowserMenuRemove(); });
    c.Handle(kCmdOrganizeFavorites, [this] { OnOrganizeFavorites(); });
    c.Handle(kCmdCheckUpdate, [this] { OnCheckUpdate(); });
    c.Handle(kCmdSearch, [this] { CSearchBar::Toggle(*this); });
    c.Handle(kCmdCleanWizard, [this] { CCleanWizard::Run(*this); });
    c.Handle(kCmdFeedRules, [this] {
        CFeedRulesDialog rules(*m_reader, m_favoriteTree->Favorites(),
                               CFeedRules::DefaultPath(m_context), this);
        rules.exec();
    });
    c.Handle(kCmdPublishItemToBlog, [this] {
        if (const FeedItemRef item = m_list ? m_list->SelectedItem() : FeedItemRef{}; item.id > 0)
            m_blog->WriteFromFeedItem(item);
    });
    c.SetAvailability(kCmdPublishItemToBlog, [this] {
        return m_list && m_list->SelectedItemId() > 0 ? QString()
                                                      : QStringLiteral("请先选择一篇文章");
    });
}

void CMainFrame::BuildMenus() {
    auto menu = [this](int mode, const QString& title) {
        auto* m = new QMenu(title, this);
        // A greyed command says why in its tooltip; what may run is asked as the menu opens.
        m->setToolTipsVisible(true);
        connect(m, &QMenu::aboutToShow, m_commands, &CCommandTable::Refresh);
        m_menus[mode].push_back(m);
        return m;
    };
    auto help = [this, &menu](int mode) {
        QMenu* m = menu(mode, QStringLiteral("帮助"));
        m->addAction(Action(kCmdHelpPage));
        m->addAction(Action(kCmdSupportForum));
        m->addAction(Action(kCmdSupportSite));
        m->addAction(Action(kCmdShortcutHelp));
        m->addSeparator();
        m->addAction(Action(kCmdCheckUpdate));
        m->addAction(Action(kCmdAbout));
    };

    // 博客 (menu 128).
    QMenu* tools = menu(kSideBlog, QStringLiteral("工具"));
    tools->addAction(Action(kCmdNewAccount));
    tools->addAction(Action(kCmdCompactBlogDb));
    tools->addSeparator();
    tools->addAction(Action(kCmdBlogSettings));
    tools->addAction(Action(kCmdSystemSettings));
    tools->addSeparator();
    tools->addAction(Action(kCmdExit));
    help(kSideBlog);

    // RSS订阅 (menu 190).
    QMenu* channel = menu(kSideRss, QStringLiteral("频道"));
    channel->addAction(Action(kCmdAddSubscription));
    channel->addAction(Action(kCmdNewDirectory));
    channel->addSeparator();
    channel->addAction(Action(kCmdReceiveAll));
    channel->addAction(Action(kCmdReceiveChannel));
    channel->addAction(Action(kCmdMarkChannelRead));
    channel->addSeparator();
    channel->addAction(Action(kCmdImportOpml));
    QMenu* exportMenu = channel->addMenu(QStringLiteral("导出"));
    exportMenu->addAction(Action(kCmdExportChannel));
    QAction* exportAll = exportMenu->addAction(QStringLiteral("所有频道"));
    connect(exportAll, &QAction::triggered, this, [this] { OnCommand(kCmdExportAll); });
    channel->addAction(Action(kCmdExportAll));
    channel->addAction(Action(kCmdChannelEbook));
    channel->addSeparator();
    channel->addAction(Action(kCmdExit));

    QMenu* view = menu(kSideRss, QStringLiteral("查看"));
    view->addAction(Action(kCmdQuickReading));
    view->addSeparator();
    view->addAction(Action(kCmdPreviousArticle));
    view->addAction(Action(kCmdNextArticle));
    view->addAction(Action(kCmdPreviousUnread));
    view->addAction(Action(kCmdNextUnread));
    view->addSeparator();
    view->addAction(Action(kCmdOpenItemLink));
    view->addAction(Action(kCmdToggleItemRead));
    view->addAction(Action(kCmdToggleItemImportant));
    view->addAction(Action(kCmdKeepItem));
    view->addSeparator();
    QMenu* pane = view->addMenu(QStringLiteral("阅读窗格"));
    m_directionGroup = new QActionGroup(this);
    const char* directions[] = {"列表在上，网页在下", "列表在左，网页在右", "网页在上，列表在下",
                                "网页在左，列表在右", "随窗口形状自动排列"};
    for (int d = kListAbove; d <= kDirectionAuto; ++d) {
        QAction* action = pane->addAction(QString::fromUtf8(directions[d]));
        action->setCheckable(true);
        action->setChecked(d == m_direction);
        action->setData(d);
        m_directionGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, d] { SetSplitterDirection(d); });
    }
    m_skinMenu = view->addMenu(QStringLiteral("文章样式"));
    connect(m_skinMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateSkinMenu);
    view->addSeparator();
    view->addAction(Action(kCmdBrowseDirectly));

    QMenu* rssTools = menu(kSideRss, QStringLiteral("工具"));
    rssTools->addAction(Action(kCmdSearch));
    rssTools->addAction(Action(kCmdCleanWizard));
    rssTools->addAction(Action(kCmdFeedRules));
    rssTools->addAction(Action(kCmdCompactRssDb));
    rssTools->addSeparator();
    // The browser's feed links and the quill:// links of web pages open in this program.
    QMenu* browserMenu = rssTools->addMenu(QStringLiteral("浏览器右键订阅"));
    browserMenu->addAction(Action(kCmdBrowserMenuAdd));
    browserMenu->addAction(Action(kCmdBrowserMenuRemove));
    rssTools->addSeparator();
    rssTools->addAction(Action(kCmdReaderSettings));
    rssTools->addAction(Action(kCmdSystemSettings));
    help(kSideRss);

    // 收藏 (menu 200).
    QMenu* favorites = menu(kSideFavorites, QStringLiteral("收藏夹"));
    favorites->addAction(Action(kCmdNewFavorite));
    favorites->addAction(Action(kCmdNewFavoriteFolder));
    favorites->addSeparator();
    favorites->addAction(Action(kCmdAddFavoriteItem));
    favorites->addAction(Action(kCmdImportFavorites));
    favorites->addAction(Action(kCmdOrganizeFavorites));
    favorites->addSeparator();
    favorites->addAction(Action(kCmdExit));
    help(kSideFavorites);
}

void CMainFrame::BuildToolBars() {
    auto bar = [this](int mode, const QString& title, int iconSize) {
        auto* toolBar = new QToolBar(title, this);
        toolBar->setObjectName(QStringLiteral("toolbar%1").arg(mode));
        toolBar->setIconSize(QSize(iconSize, iconSize));
        toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        toolBar->setMovable(false);
        toolBar->toggleViewAction()->setVisible(false);
        addToolBar(Qt::TopToolBarArea, toolBar);
        m_toolBars[mode] = toolBar;
        return toolBar;
    };

    // 博客 (toolbar 138, small buttons).
    QToolBar* blog = bar(kSideBlog, QStringLiteral("博客"), 16);
    auto* fetch = new QToolButton;
    fetch->setDefaultAction(Action(kCmdFetchPosts));
    fetch->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* countMenu = new QMenu(fetch);
    m_blog->FillCountMenu(countMenu);
    fetch->setMenu(countMenu);
    fetch->setPopupMode(QToolButton::MenuButtonPopup);
    blog->addWidget(fetch);
    blog->addAction(Action(kCmdComposePost));
    blog->addSeparator();
    blog->addAction(Action(kCmdImportPosts));
    blog->addSeparator();
    blog->addAction(Action(kCmdAccountSettings));

    // RSS订阅 (toolbar 179).
    QToolBar* rss = bar(kSideRss, QStringLiteral("RSS订阅"), 24);
    rss->addAction(Action(kCmdAddSubscription));
    rss->addAction(Action(kCmdNewDirectory));
    rss->addSeparator();
    rss->addAction(Action(kCmdReceiveAll));
    rss->addSeparator();
    rss->addAction(Action(kCmdSearch));
    rss->addSeparator();
    m_filterBox = new QComboBox;
    m_filterBox->setObjectName(QStringLiteral("filterBox"));
    m_filterBox->addItems({QStringLiteral(" 显示全部项"), QStringLiteral(" 显示未读项"),
                           QStringLiteral(" 显示已读项"), QStringLiteral(" 显示最新项")});
    m_filterBox->setMinimumWidth(
        m_filterBox->fontMetrics().horizontalAdvance(QStringLiteral(" 显示全部项")) + 40);
    m_filterBox->setToolTip(QStringLiteral("筛选文章"));
    rss->addWidget(m_filterBox);
    connect(m_filterBox, &QComboBox::activated, this,
            [this](int index) { m_list->SetFilter(FilterCodeAt(index)); });

    // 收藏 (toolbar 201).
    QToolBar* favorites = bar(kSideFavorites, QStringLiteral("收藏"), 24);
    favorites->addAction(Action(kCmdNewFavorite));
    favorites->addAction(Action(kCmdNewFavoriteFolder));
    favorites->addSeparator();
    favorites->addAction(Action(kCmdAddFavoriteItem));
    favorites->addSeparator();
    favorites->addAction(Action(kCmdImportFavorites));
}

void CMainFrame::BuildPanes(const WindowPlacement& placement) {
    m_sideTabs = new QTabWidget;
    m_sideTabs->setDocumentMode(true);
    m_blog = new CBlogWorkspace(m_context, m_articleStore, *m_commands, m_windowJobs, this);
    CAccountSetupCommands::Register(
        *m_commands, this, m_blog->Tree(),
        [this](int code, int update) { OnWindowMessage(WM_ACCOUNT_TREE_UPDATE, code, update); },
        [this] { OnWindowMessage(WM_PREVIEW_STYLE_CHANGED, 0, 0); });
    // The trees register their commands in the window's table: the channels' and the
    // favorites' commands of the menus and toolbars are theirs.
    m_channelTree = new CRssChannelTreeCtrl(*m_reader, *m_commands, m_windowJobs);
    m_favoriteTree = new CFavoritesPane(m_context, m_feedStore, *m_commands, m_windowJobs);
    // The 收藏 side: the feed favorites above, the browser's bookmarks below.
    m_browserFavorites = new CControlFavorites(m_context);
    auto* favoritesSide = new QSplitter(Qt::Vertical);
    favoritesSide->addWidget(m_favoriteTree);
    favoritesSide->addWidget(m_browserFavorites);
    favoritesSide->setStretchFactor(0, 1);
    favoritesSide->setStretchFactor(1, 2);
    m_sideTabs->addTab(m_blog->Tree(), ThemeIcon("accessories-text-editor"),
                       QStringLiteral("博客"));
    m_sideTabs->addTab(m_channelTree, FeedIcon(0), QStringLiteral("RSS订阅"));
    m_sideTabs->addTab(favoritesSide, ThemeIcon("starred"), QStringLiteral("收藏"));

    m_list = new CArticlesReportView;
    m_readingFrame = new CReadingFrame;
    m_list->SetReader(m_reader.get());
    m_list->SetChannelSelector([this](int index) { m_channelTree->SelectIndex(index); });
    m_list->SetReadingFrame(m_readingFrame);
    m_favoriteTree->SetReadingTargets(m_reader.get(), m_readingFrame);
    m_list->SetSideViews(m_blog->View(), m_favoriteTree->Items());
    connect(m_favoriteTree->Items(), &CFavoriteItemList::BoxShown, m_list,
            &CArticlesReportView::ShowBoxCaption);
    connect(m_favoriteTree->Tree(), &CRssFavoriteTreeCtrl::ItemsCopied, this,
            &CMainFrame::SetStatus);

    m_readingSplitter = new QSplitter(Qt::Vertical);
    m_readingSplitter->setChildrenCollapsible(true);
    m_readingSplitter->addWidget(m_list);
    m_readingSplitter->addWidget(m_readingFrame);
    m_readingSplitter->installEventFilter(this);
    m_listExtent = placement.topFrameHeight > 0 ? placement.topFrameHeight : 320;

    m_mainSplitter = new QSplitter(Qt::Horizontal);
    m_mainSplitter->addWidget(m_sideTabs);
    m_mainSplitter->addWidget(m_readingSplitter);
    m_mainSplitter->setStretchFactor(0, 0);
    m_mainSplitter->setStretchFactor(1, 1);
    m_mainSplitter->setCollapsible(1, false);
    const int left = placement.leftFrameWidth > 0 ? placement.leftFrameWidth : 240;
    m_mainSplitter->setSizes({left, 100000});
    setCentralWidget(m_mainSplitter);

    connect(m_sideTabs, &QTabWidget::currentChanged, this, [this](int mode) { SetSideMode(mode); });
    connect(m_blog, &CBlogWorkspace::OpenInPane, this, [this](const QString& url) {
        if (m_sideMode == kSideBlog)
            m_readingFrame->View()->NavigateUrl(url);
    });
    // The weblog side's pane signals reach the pane only while that side is in front.
    connect(m_blog, &CBlogWorkspace::ClearPane, this, [this] {
        if (m_sideMode == kSideBlog)
            m_readingFrame->View()->ShowBlank();
    });
    connect(m_blog, &CBlogWorkspace::PreviewArticle, this,
            [this](const ArticleRecord& article, const std::string& account) {
                if (m_sideMode == kSideBlog)
                    m_readingFrame->View()->PreviewArticle(m_context, article, account);
            });
    connect(m_readingFrame->View(), &CBottomHtmlView::PreviewContextMenu, this,
            &CMainFrame::ShowPreviewMenu);
    connect(m_blog, &CBlogWorkspace::BlogResult, this,
            [this](int kind) { OnWindowMessage(WM_BLOG_RESULT, 0, kind); });
    connect(m_channelTree, &CRssChannelTreeCtrl::ChannelSelected, m_list,
            &CArticlesReportView::ShowChannel);
    connect(m_channelTree, &CRssChannelTreeCtrl::ListRefreshNeeded, m_list,
            &CArticlesReportView::ShowCurrentItems);
    connect(m_channelTree, &CRssChannelTreeCtrl::ItemRemoved, m_list,
            &CArticlesReportView::ForgetIfShown);
    connect(m_channelTree, &CRssChannelTreeCtrl::SideWanted, this,
            [this] { SetSideMode(kSideRss); });
    connect(m_channelTree, &CRssChannelTreeCtrl::OpenInPane, this,
            [this](const QString& url) { m_readingFrame->View()->NavigateUrl(url); });
    connect(m_list, &CArticlesReportView::CountsChanged, m_channelTree,
            &CRssChannelTreeCtrl::RefreshAll);
    connect(m_list, &CArticlesReportView::AddToFavorites, m_favoriteTree,
            &CFavoritesPane::AddItemToBox);
    connect(m_list, &CArticlesReportView::PublishToBlog, this,
            [this] { m_commands->Run(kCmdPublishItemToBlog); });
    connect(m_browserFavorites, &CControlFavorites::OpenUrl, this,
            [this](const QString& url) { m_readingFrame->View()->NavigateUrl(url); });
    connect(m_readingFrame->View(), &CBottomHtmlView::SubscribeRequested, this,
            [this](const QString& address) { AddSubscriptionFromAddress(ToStd(address)); });
    if (QAction* direct = m_readingFrame->Action(kCmdBrowseDirectly))
        connect(direct, &QAction::toggled, this, [this](bool on) {
            if (QAction* menuAction = Action(kCmdBrowseDirectly))
                menuAction->setChecked(on);
        });
}

void CMainFrame::BuildTray() {
    // The notification area's own menu, with its own texts, running the frame's commands.
    m_trayMenu = new QMenu(this);
    // The tray menu shows the texts without their accelerators.
    for (int id :
         {kCmdShowMainWindow, kCmdReaderSettings, kCmdSystemSettings, kCmdAbout, kCmdExit}) {
        if (id == kCmdExit)
            m_trayMenu->addSeparator();
        m_commands->AddTo(m_trayMenu, id, CCommandTable::MenuText::kPlain);
    }
    m_trayMenu->setDefaultAction(m_trayMenu->actions().first());
    m_tray = new QSystemTrayIcon(AppIcon(), this);
    m_tray->setToolTip(TrayToolTip());
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    OnCommand(kCmdShowMainWindow);
            });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_tray->show();
}

void CMainFrame::StartUpdateCheck() {
    // The check runs at one start in ten, when its seconds come up 1 to 6, and only where an
    // updater is installed beside the program.
    const int second = QTime::currentTime().second();
    if (!m_enableAutoUpdate || second < 1 || second > 6)
        return;
    const QString updater = ProgramPath("quillmark-update");
    if (!QFileInfo::exists(updater))
        return;
    QTimer::singleShot(10000, this, [updater] {
        QProcess::startDetached(updater,
                                {QStringLiteral("/AppName=AutoUpdate"),
                                 QStringLiteral("/CurrentVersion=") + QStringLiteral(QUILL_VERSION),
                                 QStringLiteral("/CheckURL=https://quillmark.org/autoupdate/"
                                                "UpdateConfig.txt")},
                                ToQ(GetModuleDir()));
    });
}

void CMainFrame::PlaceWindow(const WindowPlacement& placement) {
    const bool maximized = placement.left + placement.top + placement.right + placement.bottom < 1;
    if (!maximized) {
        const QRect rect(placement.left, placement.top, placement.right - placement.left,
                         placement.bottom - placement.top);
        // A rectangle on a screen that is no longer there would leave the window unreachable.
        bool onScreen = false;
        for (QScreen* screen : QGuiApplication::screens())
            onScreen = onScreen || screen->geometry().intersects(rect);
        if (onScreen || QGuiApplication::screens().isEmpty()) {
            setGeometry(rect);
            show();
            ArrangeReadingArea();
            return;
        }
    }
    // Where no window manager maximises, the window still covers the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    showMaximized();
    ArrangeReadingArea();
}

void CMainFrame::ShowMainWindow() {
    // A window minimised from the maximised state comes back maximised.
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void CMainFrame::SetSideMode(int mode) {
    if (mode < kSideBlog || mode > kSideFavorites)
        return;
    // The side shown already stays as it is: its list may hold search results the user reads.
    if (mode == m_sideMode)
        return;
    ApplySideMode(mode);
    m_context.Settings().WriteAppValue("outbarmode", std::to_string(mode));
}

void CMainFrame::ApplySideMode(int mode) {
    m_sideMode = mode;
    if (m_sideTabs->currentIndex() != mode) {
        m_sideTabs->blockSignals(true);
        m_sideTabs->setCurrentIndex(mode);
        m_sideTabs->blockSignals(false);
    }
    menuBar()->clear();
    for (QMenu* menu : m_menus[mode])
        menuBar()->addMenu(menu);
    for (int m = kSideBlog; m <= kSideFavorites; ++m)
        m_toolBars[m]->setVisible(m == mode);
    // The reading area shows this side's content, and nothing the other side left in it.
    m_list->ShowSide(mode == kSideBlog       ? CArticlesReportView::Side::kBlog
                     : mode == kSideFavorites ? CArticlesReportView::Side::kFavorites
                                              : CArticlesReportView::Side::kFeeds);
    m_blog->ForgetPreview();
    m_readingFrame->View()->ShowBlank();
    if (mode == kSideRss) {
        if (m_reader->View().Current() >= 0)
            m_list->ShowCurrentItems();
    } else {
        m_list->Clear();
        if (mode == kSideFavorites)
            m_favoriteTree->ShowCurrentBox();
    }
    // The search bar searches the channels: it belongs to their side, and comes back with it.
    if (auto* bar = findChild<CSearchBar*>()) {
        if (mode == kSideRss) {
            if (m_searchBarWasOpen) {
                bar->FollowSettings();
                bar->show();
            }
            m_searchBarWasOpen = false;
        } else if (!bar->isHidden()) {
            m_searchBarWasOpen = true;
            bar->hide();
        }
    }
}

void CMainFrame::SetSplitterDirection(int direction) {
    if (direction < kListAbove || direction > kDirectionAuto)
        return;
    m_direction = direction;
    for (QAction* action : m_directionGroup->actions())
        action->setChecked(action->data().toInt() == direction);
    ArrangeReadingArea();
}

void CMainFrame::ArrangeReadingArea() {
    if (!m_readingSplitter)
        return;
    int direction = m_direction;
    if (direction == kDirectionAuto) {
        const QSize area = m_readingSplitter->size();
        direction = area.width() >= area.height() * 8 / 5 ? kListLeft : kListAbove;
    }
    const Qt::Orientation orientation =
        (direction == kListLeft || direction == kListRight) ? Qt::Horizontal : Qt::Vertical;
    const bool listFirst = direction == kListAbove || direction == kListLeft;
    const int listAt = m_readingSplitter->indexOf(m_list);
    const bool changed =
        m_readingSplitter->orientation() != orientation || (listAt == 0) != listFirst;
    if (!changed && m_readingSplitter->sizes().value(listAt) > 0)
        return;
    if (listAt >= 0 && m_readingSplitter->sizes().value(listAt) > 0 && changed)
        m_listExtent = m_readingSplitter->sizes().value(listAt);
    m_readingSplitter->setOrientation(orientation);
    m_readingSplitter->insertWidget(listFirst ? 0 : 1, m_list);
    m_readingSplitter->setStretchFactor(listFirst ? 0 : 1, 0);
    m_readingSplitter->setStretchFactor(listFirst ? 1 : 0, 1);
    const int total =
        orientation == Qt::Vertical ? m_readingSplitter->height() : m_readingSplitter->width();
    const int list =
        total > 0 ? std::min(m_listExtent, std::max(total - 120, total / 3)) : m_listExtent;
    const int rest = std::max(total - list, 100);
    m_readingSplitter->setSizes(listFirst ? QList<int>{list, rest} : QList<int>{rest, list});
}

int CMainFrame::PaneStateNow() const {
    const QList<int> sizes = m_readingSplitter->sizes();
    const int listAt = m_readingSplitter->indexOf(m_list);
    const int list = sizes.value(listAt);
    const int browser = sizes.value(1 - listAt);
    if (list > 0 && browser == 0)
        return kPaneListOnly;
    if (list == 0 && browser > 0)
        return kPaneBrowserOnly;
    return kPaneBoth;
}

QString CMainFrame::StatusText() const {
    return m_status ? m_status->text() : QString();
}

void CMainFrame::SetStatus(const QString& text) {
    if (m_status)
        m_status->setText(text);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_readingSplitter && event->type() == QEvent::Resize &&
        m_direction == kDirectionAuto)
        QTimer::singleShot(0, this, &CMainFrame::ArrangeReadingArea);
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::AddSubscriptionFromAddress(const std::string& address) {
    // quill://rssurl=...&rsstitle=..., feed://..., or a plain address, as the browser gave it.
    std::string url;
    std::string title;
    if (!CBrowserLink::Parse(address, url, title))
        return;
    SetSideMode(kSideRss);
    m_channelTree->AddSubscription(-1, ToQ(url), ToQ(title));
}

void CMainFrame::OnNewItems(int index, int count) {
    const ChannelRecord record = m_reader->Tree().Record(index);
    m_popup->Popup(CPopupWindow::NewItemsText(ToQ(record.title), count), CPopupWindow::kNewItemsMs);
}

void CMainFrame::AnnounceNewItems(const std::vector<NewItemsNote>& announce) {
    std::vector<NewItemsNote> notes;
    for (const NewItemsNote& note : announce)
        if (m_reader->Tree().IsValid(note.index))
            notes.push_back(note);
    if (notes.empty())
        return;
    if (notes.size() == 1) {
        OnNewItems(notes.front().index, notes.front().unread);
        return;
    }
    // The busiest channels are named first.
    std::stable_sort(notes.begin(), notes.end(), [](const NewItemsNote& a, const NewItemsNote& b) {
        return a.newItems > b.newItems;
    });
    QList<QPair<QString, int>> channels;
    int items = 0;
    for (const NewItemsNote& note : notes) {
        channels.append({ToQ(m_reader->Tree().Record(note.index).title), note.newItems});
        items += note.newItems;
    }
    m_popup->Popup(CPopupWindow::NewItemsSummaryText(channels, items), CPopupWindow::kNewItemsMs);
}

void CMainFrame::OnWindowMessage(int message, qint64 wParam, qint64 lParam) {
    switch (message) {
    case WM_BLOG_RESULT: {
        const QString text = CPopupWindow::BlogResultText(static_cast<int>(lParam));
        if (!text.isEmpty())
            m_popup->Popup(text, CPopupWindow::kBlogResultMs);
        break;
    }
    case WM_ACCOUNT_TREE_UPDATE:
        m_blog->OnTreeUpdate(static_cast<int>(wParam), static_cast<int>(lParam));
        break;
    case WM_RSS_NEW_ITEMS:
        if (m_reader->Tree().IsValid(static_cast<int>(wParam)))
            OnNewItems(static_cast<int>(wParam), static_cast<int>(lParam));
        break;
    case WM_PREVIEW_STYLE_CHANGED:
        // Only an article preview changes; a feed item or a web page stays as it is.
        m_readingFrame->View()->RefreshArticlePreview();
        break;
    default:
        // The account tree and the article preview come with the weblog workspace.
        break;
    }
}

void CMainFrame::ShowPreviewMenu(const QPoint& globalPos) {
    QMenu* menu = BuildPreviewMenu();
    if (!menu)
        return;
    menu->exec(globalPos);
    menu->deleteLater();
}

QMenu* CMainFrame::BuildPreviewMenu() {
    // The preview shows one article of the list: its row's menu, as a right click on the row
    // gives it (the row becomes the selection unless it is part of it).
    CBlogArticlesView* view = m_blog->View();
    bool isArticle = false;
    const int id = m_readingFrame->View()->CurrentKey().toInt(&isArticle);
    if (!isArticle || !view || !view->RowOf(id))
        return nullptr;
    const std::vector<int> selected = view->SelectedIds();
    if (std::find(selected.begin(), selected.end(), id) == selected.end())
        view->SelectIds({id});
    return view->BuildContextMenu(CBlogArticlesView::MenuPlace::kRows, this);
}

void CMainFrame::OnCommand(int commandId) {
    m_commands->Run(commandId);
}

void CMainFrame::UpdateSkinMenu() {
    m_skinMenu->clear();
    const std::string current = m_reader->View().Skin();
    for (const std::string& skin : CFeedItemView::ListSkins(m_context)) {
        QAction* action = m_skinMenu->addAction(ToQ(skin));
        action->setCheckable(true);
        action->setChecked(skin == current);
        connect(action, &QAction::triggered, this, [this, skin] {
            if (!m_context.Settings().WriteAppValue("rss/articlestyle", skin))
                return;
            m_reader->View().SetSkin(skin);
            m_list->RenderSelected();
        });
    }
    if (m_skinMenu->isEmpty())
        m_skinMenu->addAction(QStringLiteral("(没有样式)"))->setEnabled(false);
}

void CMainFrame::OnSystemSettings() {
    CPropertySheet sheet(QStringLiteral("系统设置"), this);
    auto* general = new CPropertyPageSystemGeneral;
    auto* proxy = new CPropertyPageProxy;
    sheet.AddPage(general);
    sheet.AddPage(proxy);
    if (sheet.exec() != QDialog::Accepted)
        return;
    m_minimizeToTray = general->MinimizeToTray()->isChecked();
    m_enableAutoUpdate = general->UpdateCheck()->isChecked();
    m_reader->Scheduler().SetProxy(
        CProxySetup::FromSettings(proxy->Values(), ProxyFallback::kEnvironment));
}

void CMainFrame::OnBlogSettings() {
    CPropertySheet sheet(QStringLiteral("BLOG设置"), this);
    sheet.AddPage(new CPropertyPageDebug);
    sheet.exec();
}

void CMainFrame::OnReaderSettings() {
    ReaderStatistics figures;
    CChannelTree& tree = m_reader->Tree();
    for (int i = 0; i < tree.RecordCount(); ++i) {
        if (!tree.IsValid(i))
            continue;
        const ChannelRecord record = tree.Record(i);
        if (record.directory) {
            ++figures.directories;
        } else {
            ++figures.channels;
            figures.unread += record.unreadCount;
        }
    }
    int feeds = 0;
    int items = 0;
    if (m_feedStore.GetTotals(feeds, items))
        figures.items = items;
    const QString store = ToQ(m_feedStore.GetPath());
    figures.storeBytes = QFileInfo(store).size() + QFileInfo(store + QStringLiteral("-wal")).size();

    CPropertySheet sheet(QStringLiteral("阅读器设置"), this);
    sheet.AddPage(new CPropertyPageRssSetupGeneral(m_context));
    sheet.AddPage(new CPropertyPageRssSetupStorage(m_context));
    sheet.AddPage(new CPropertyPageRssSetupAppearance(m_context));
    sheet.AddPage(new CPropertyPageRssSetupStatistics(figures));
    if (sheet.exec() != QDialog::Accepted)
        return;
    const bool pageSizeChanged = m_reader->ApplySettings();
    AppearanceSettings appearance;
    if (m_context.Settings().ReadAppearanceSettings(appearance))
        m_list->ApplyAppearance(appearance);
    if (pageSizeChanged && m_sideMode == kSideRss)
        m_list->ShowCurrentItems();
}

void CMainFrame::OnCompactRssDatabase() {
    // A program of its own, so that the window stays usable while the file is rebuilt.
    QProcess::startDetached(ProgramPath("quillmark-vacuum"),
                            {QStringLiteral("--home"), ToQ(m_context.Dir())}, ToQ(m_context.Dir()));
}

void CMainFrame::OnBrowserMenuAdd() {
    CShellRegistration registration(CShellRegistration::FoldersFromEnvironment());
    std::string error;
    if (!registration.Register({.executable = ToStd(QCoreApplication::applicationFilePath()),
                                .programDir = m_context.Dir()},
                               error)) {
        CMessageBox::Show(this, QStringLiteral("加入失败: ") + ToQ(error));
        return;
    }
    CMessageBox::Show(this, QString::fromUtf8(CShellRegistration::kAddedText));
}

void CMainFrame::OnBrowserMenuRemove() {
    CShellRegistration registration(CShellRegistration::FoldersFromEnvironment());
    RemoveOutcome outcome = RemoveOutcome::kNothingToRemove;
    std::string error;
    if (!registration.Unregister(outcome, error)) {
        CMessageBox::Show(this, QStringLiteral("移除失败: ") + ToQ(error));
        return;
    }
    CMessageBox::Show(this, QString::fromUtf8(outcome == RemoveOutcome::kRemoved
                                                  ? CShellRegistration::kRemovedText
                                                  : CShellRegistration::kNothingText));
}

void CMainFrame::OnOrganizeFavorites() {
    // The bookmarks of Firefox and Chromium are organised in the browser; the folder of link
    // files opens in the file manager.
    const std::string folder = CControlFavorites::FavoritesFolder(m_context);
    if (folder.empty()) {
        QString places;
        for (const std::string& candidate :
             CBrowserBookmarks::FavoritesCandidates(CControlFavorites::Sources(m_context)))
            places += QStringLiteral("\n    ") + ToQ(candidate);
        CMessageBox::Show(this,
                          QStringLiteral("The path of the Favorites folder cannot be found.\n"
                                         "找不到收藏夹文件夹, 查找过:") +
                              places +
                              QStringLiteral("\nFirefox 和 Chromium 的书签请在浏览器中整理。"),
                          QStringLiteral("Error"));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(ToQ(folder))))
        CMessageBox::Show(this, QStringLiteral("无法打开收藏夹文件夹: ") + ToQ(folder) +
                                    QStringLiteral("\n(没有可以打开文件夹的程序)"));
}

void CMainFrame::OnCheckUpdate() {
    // Installed from a package, the program is updated by the distribution; a separate updater
    // runs only where one was installed beside the program.
    const QString updater = ProgramPath("quillmark-update");
    if (QFileInfo::exists(updater)) {
        if (!QProcess::startDetached(
                updater,
                {QStringLiteral("/AppName=AutoUpdate"),
                 QStringLiteral("/CurrentVersion=") + QStringLiteral(QUILL_VERSION),
                 QStringLiteral("/CheckURL=https://quillmark.org/autoupdate/"
                                "UpdateConfig.txt")},
                ToQ(GetModuleDir())))
            CMessageBox::Show(this, QStringLiteral("无法启动更新程序: ") + updater);
        return;
    }
    CMessageBox::Show(this,
                      QStringLiteral("当前版本: ") + QStringLiteral(QUILL_VERSION) +
                          QStringLiteral("\n\nQuillmark 由您的发行版更新: 请用系统的软件更新"
                                         "(例如 apt upgrade 或软件中心)获取新版本。\n"
                                         "从源代码安装的, 请更新源代码后重新 make install。"),
                      QStringLiteral("检查新版本"));
}

void CMainFrame::OnAbout() {
    CAboutDialog about(this);
    about.exec();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized() && m_minimizeToTray && m_tray && m_tray->isVisible())
        QTimer::singleShot(0, this, &QWidget::hide);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    Shutdown();
    m_popup->hide();
    if (m_tray)
        m_tray->hide();
    event->accept();
}

void CMainFrame::Shutdown() {
    if (m_shutDown || !m_reader)
        return;
    m_shutDown = true;
    // Workers see the flag, their transfers abort, and they are waited for.
    g_bAppExiting = 1;
    m_reader->StopReceiving();
    m_blog->Shutdown();

    WindowPlacement placement;
    if (!isMaximized()) {
        const QRect rect = geometry();
        placement.left = rect.left();
        placement.top = rect.top();
        placement.right = rect.left() + rect.width();
        placement.bottom = rect.top() + rect.height();
    }
    placement.leftFrameWidth = m_mainSplitter->sizes().value(0);
    const int listAt = m_readingSplitter->indexOf(m_list);
    const int list = m_readingSplitter->sizes().value(listAt);
    placement.topFrameHeight = list > 0 ? list : m_listExtent;
    if (m_context.Settings().WriteWindowPlacement(placement) &&
        m_context.Settings().WriteAppValue("viewframemode", std::to_string(PaneStateNow())) &&
        m_context.Settings().WriteAppValue("splitterdirection", std::to_string(m_direction)))
        m_context.Settings().WriteAppValue("outbarmode", std::to_string(m_sideMode));
    m_reader->Shutdown();
    m_favoriteTree->SaveState();
}
