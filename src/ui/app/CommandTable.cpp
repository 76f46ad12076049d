#include "ui/app/CommandTable.h"

#include "ui/common/CommandIds.h"
#include "ui/common/UiText.h"

#include <QAction>
#include <QMenu>
#include <QRegularExpression>

namespace {

std::vector<CommandEntry> MakeEntries() {
    return {
        // Weblog side.
        // Fetches the newest posts of the selected account into its 已收日志 folder.
        {.id = kCmdFetchPosts, .text = "获取日志", .icon = "mail-send-receive"},
        // Opens the editor on a new article.
        {.id = kCmdComposePost, .text = "撰写日志", .icon = "accessories-text-editor"},
        // Reads a backup file of articles into the 草稿箱 folder.
        {.id = kCmdImportPosts, .text = "导入日志", .icon = "document-open"},
        // The property sheet of the selected account.
        {.id = kCmdAccountSettings, .text = "账户设置", .icon = "preferences-desktop-personal"},
        // How many posts a fetch asks for; the choice is stored with the account.
        {.id = kCmdPostCount1, .text = "1篇", .checkable = true},
        {.id = kCmdPostCount3, .text = "3篇", .checkable = true},
        {.id = kCmdPostCount5, .text = "5篇", .checkable = true},
        {.id = kCmdPostCount10, .text = "10篇", .checkable = true},
        {.id = kCmdPostCount20, .text = "20篇", .checkable = true},
        {.id = kCmdPostCount999, .text = "999篇", .checkable = true},
        {.id = kCmdPostCountCustom, .text = "自定义的数量", .checkable = true},
        // The set-up wizard of a new account.
        {.id = kCmdNewAccount, .text = "新建账户(&N)...", .icon = "contact-new"},
        // Rebuilds blog.db to give back the space of deleted articles.
        {.id = kCmdCompactBlogDb, .text = "压缩数据库(&C)...", .icon = "edit-clear"},
        // The debug settings of the weblog client.
        {.id = kCmdBlogSettings, .text = "BLOG设置(&S)...", .icon = "preferences-other"},
        // Update check, minimise to tray and the proxy.
        {.id = kCmdSystemSettings, .text = "系统设置(&P)...", .icon = "preferences-system"},

        // The account tree's context menus.
        {.id = kCmdAccountProperties,
         .text = "账户设置(&A)...",
         .icon = "preferences-desktop-personal"},
        // A folder (tree) or the selected articles (list) to an RSS backup file.
        {.id = kCmdExportFolder, .text = "导出为XML日志(&E)...", .icon = "document-save-as"},
        // A backup file into the 草稿箱 of the account.
        {.id = kCmdImportFolder, .text = "导入日志(&A)...", .icon = "document-open"},
        // Opens the account's weblog in the desktop's browser.
        {.id = kCmdOpenMyBlog, .text = "在浏览器中打开我的博客(&B)", .icon = "web-browser"},
        // Empties the folder after the confirmation (已收日志 names it without the dots: its
        // copies come back with the next fetch).
        {.id = kCmdClearFolder, .text = "清空文章(&C)..."},
        // The folder's articles as an e-book.
        {.id = kCmdFolderEbook, .text = "制作CHM电子书(&Z)..."},

        // The article list's context menus; the list relabels some of them per folder.
        {.id = kCmdPublishOrDeleteRemote, .text = "发布这篇日志(&P)", .icon = "mail-send"},
        {.id = kCmdCopyArticles, .text = "复制到(&C)...", .icon = "edit-copy"},
        {.id = kCmdMoveArticles, .text = "转移到(&M)...", .icon = "go-jump"},
        {.id = kCmdDeleteArticle, .text = "删除(&D)", .icon = "edit-delete"},
        {.id = kCmdDeleteArticles, .text = "删除这些日志(&D)", .icon = "edit-delete"},
        // Opens the article in the editor.
        {.id = kCmdEditArticle, .text = "编辑(&E)...", .icon = "document-edit"},
        {.id = kCmdPublishToSeveral, .text = "发布到多个博客(&U)...", .icon = "mail-forward"},
        {.id = kCmdCollapseGroups, .text = "闭合所有分组"},
        {.id = kCmdExpandGroups, .text = "展开所有分组"},

        // Feed reader.
        // Opens the editor on a new article about the selected feed item.
        {.id = kCmdPublishItemToBlog, .text = "发布到博客(&P)...", .icon = "mail-forward"},
        // Subscribes to a feed address.
        {.id = kCmdAddSubscription, .text = "添加订阅", .icon = "list-add"},
        {.id = kCmdNewDirectory, .text = "新建目录", .icon = "folder-new"},
        // Receives every channel now.
        {.id = kCmdReceiveAll, .text = "全部更新", .icon = "view-refresh"},
        // Receives the selected channel, or every channel of the selected directory.
        {.id = kCmdReceiveChannel,
         .text = "收取当前频道",
         .contextText = "收取",
         .icon = "mail-send-receive",
         .shortcut = QKeySequence(Qt::Key_R)},
        {.id = kCmdMarkChannelRead, .text = "标记当前频道为已读", .icon = "mail-read"},
        // Shows or hides the docked search bar.
        {.id = kCmdSearch, .text = "搜索", .icon = "system-search"},
        // Brings channels in from an OPML file or address, arranged in the import dialog.
        {.id = kCmdImportOpml, .text = "导入OPML频道(&I)...", .icon = "document-open"},
        // The selected channel or directory as an OPML file.
        {.id = kCmdExportChannel, .text = "当前频道"},
        // Every channel as an OPML file ("RSS订阅收藏.opml").
        {.id = kCmdExportAll,
         .text = "导出所有频道(&O)...",
         .contextText = "所有频道",
         .icon = "document-save-as"},
        // An e-book of a channel or of the channels below a directory.
        {.id = kCmdChannelEbook, .text = "制作CHM电子书"},
        // The reader's settings sheet: receive, storage, appearance, statistics.
        {.id = kCmdReaderSettings, .text = "RSS阅读器设置(&S)...", .icon = "preferences-system"},
        // Starts quillmark-vacuum on rss.db, so the window stays usable meanwhile.
        {.id = kCmdCompactRssDb, .text = "压缩数据库(&C)...", .icon = "edit-clear"},
        // The wizard that removes old items of the chosen channels.
        {.id = kCmdCleanWizard, .text = "清理文章向导(&Q)...", .icon = "edit-delete"},
        // The rules that mark, delete, keep or flag the items that come new.
        {.id = kCmdFeedRules, .text = "过滤规则(&F)...", .icon = "edit-find-replace"},
        // Adds or removes the desktop's handler for feed links and quill:// addresses.
        {.id = kCmdBrowserMenuAdd, .text = "添加(&A)", .icon = "list-add"},
        {.id = kCmdBrowserMenuRemove, .text = "移除(&R)", .icon = "list-remove"},
        // All items of the channel on one page in the reading pane.
        {.id = kCmdQuickReading,
         .text = "快捷阅读模式",
         .icon = "view-fullscreen",
         .checkable = true},
        {.id = kCmdPreviousArticle,
         .text = "上一篇",
         .icon = "go-up",
         .shortcut = QKeySequence(Qt::CTRL | Qt::Key_Up)},
        {.id = kCmdNextArticle,
         .text = "下一篇",
         .icon = "go-down",
         .shortcut = QKeySequence(Qt::CTRL | Qt::Key_Down)},
        // Reading with the keyboard: the next unread item wherever it is (in the list, then
        // in the following channels in tree order), the item's own page, its read mark, and a
        // copy in the favorites box chosen last.
        {.id = kCmdNextUnread,
         .text = "下一篇未读",
         .icon = "go-next",
         .shortcut = QKeySequence(Qt::Key_N)},
        {.id = kCmdPreviousUnread,
         .text = "上一篇未读",
         .icon = "go-previous",
         .shortcut = QKeySequence(Qt::Key_P)},
        {.id = kCmdOpenItemLink,
         .text = "在浏览器中打开原文",
         .icon = "web-browser",
         .shortcut = QKeySequence(Qt::Key_O)},
        {.id = kCmdToggleItemRead,
         .text = "标记为已读/未读",
         .icon = "mail-read",
         .shortcut = QKeySequence(Qt::Key_M)},
        {.id = kCmdToggleItemImportant,
         .text = "标记为重要/取消",
         .icon = "emblem-important",
         .shortcut = QKeySequence(Qt::Key_I)},
        {.id = kCmdKeepItem,
         .text = "加入收藏",
         .icon = "starred",
         .shortcut = QKeySequence(Qt::Key_S)},
        {.id = kCmdShortcutHelp, .text = "快捷键(&K)...", .icon = "help-contents"},
        // The pane opens an item's own page instead of the rendered item.
        {.id = kCmdBrowseDirectly,
         .text = "直接浏览网页",
         .icon = "web-browser",
         .checkable = true},

        // The channel tree's context menus, on the item the menu was opened on.
        // A directory's channels, as a walk over all channels takes them; 收取[该目录所有频道]
        // also those left out of such a walk.
        {.id = kCmdReceiveBranch, .text = "收取"},
        {.id = kCmdReceiveDirectoryAll, .text = "收取[该目录所有频道]"},
        {.id = kCmdMarkRead, .text = "标记为已读"},
        {.id = kCmdClearChannel, .text = "清空文章"},
        {.id = kCmdClearDirectory, .text = "清空文章"},
        {.id = kCmdDeleteChannel, .text = "删除"},
        {.id = kCmdDeleteDirectory, .text = "删除"},
        // In-place editing of the title (F2 is the tree's edit key).
        {.id = kCmdRename, .text = "重命名", .shortcut = QKeySequence(Qt::Key_F2)},
        {.id = kCmdMoveUp, .text = "上移"},
        {.id = kCmdMoveToTop, .text = "到根目录"},
        // The channel's or directory's site, in the reading pane or the desktop's browser.
        {.id = kCmdOpenSiteInPane, .text = "内置浏览器"},
        {.id = kCmdOpenSiteOutside, .text = "外部浏览器打开"},
        {.id = kCmdExportDirectory, .text = "导出该目录"},
        {.id = kCmdChannelProperties, .text = "属性"},
        {.id = kCmdDirectoryProperties, .text = "属性"},

        // Favorites.
        // A new favorites box.
        {.id = kCmdNewFavorite, .text = "新建收藏", .icon = "bookmark-new"},
        // A new folder of favorites boxes.
        {.id = kCmdNewFavoriteFolder, .text = "新建收藏夹", .icon = "folder-new"},
        // An item written by hand into the selected box.
        {.id = kCmdAddFavoriteItem, .text = "添加收藏项", .icon = "starred"},
        // An RSS file read in as a new favorites box.
        {.id = kCmdImportFavorites, .text = "导入收藏", .icon = "document-open"},
        // The favorites tree's context menus: a box or folder made in the folder the menu was
        // opened on, a box as an RSS file or an e-book, and the box's or folder's own upkeep.
        {.id = kCmdNewFavoriteBox, .text = "收藏节点"},
        {.id = kCmdNewFavoriteFolderHere, .text = "收藏夹"},
        {.id = kCmdExportFavoriteFeed, .text = "导出FEED"},
        {.id = kCmdFavoriteEbook, .text = "制作CHM电子书"},
        {.id = kCmdFavoriteSiteInPane, .text = "内置浏览器"},
        {.id = kCmdFavoriteSiteOutside, .text = "外部浏览器打开"},
        {.id = kCmdFavoriteMoveUp, .text = "上移"},
        {.id = kCmdFavoriteMoveToTop, .text = "到根目录"},
        {.id = kCmdDeleteFavorite, .text = "删除"},
        {.id = kCmdFavoriteProperties, .text = "属性"},
        // Opens the folder of the browser's link files.
        {.id = kCmdOrganizeFavorites, .text = "整理收藏夹(&R)", .icon = "folder-open"},

        // Help and the window.
        {.id = kCmdHelpPage, .text = "打开帮助页面(&T)", .icon = "help-browser"},
        {.id = kCmdSupportForum, .text = "访问支持论坛(&U)", .icon = "help-faq"},
        {.id = kCmdSupportSite, .text = "访问支持站点(&O)", .icon = "go-home"},
        {.id = kCmdCheckUpdate, .text = "检查新版本(&C)", .icon = "software-update-available"},
        {.id = kCmdAbout, .text = "关于(&A)...", .icon = "help-about"},
        // Shows and restores the main window and brings it forward.
        {.id = kCmdShowMainWindow, .text = "显示主窗体"},
        {.id = kCmdExit, .text = "退出(&X)", .icon = "application-exit"},
    };
}

} // namespace

CCommandTable::CCommandTable(QObject* parent) : QObject(parent) {}

const std::vector<CommandEntry>& CCommandTable::Entries() {
    static const std::vector<CommandEntry> entries = MakeEntries();
    return entries;
}

const CommandEntry* CCommandTable::Find(int id) {
    for (const CommandEntry& entry : Entries())
        if (entry.id == id)
            return &entry;
    return nullptr;
}

QString CCommandTable::Text(int id) {
    const CommandEntry* entry = Find(id);
    return entry ? QString::fromUtf8(entry->text) : QString();
}

QString CCommandTable::ContextText(int id) {
    const CommandEntry* entry = Find(id);
    if (!entry)
        return QString();
    return QString::fromUtf8(entry->contextText ? entry->contextText : entry->text);
}

QString CCommandTable::PlainText(const QString& text) {
    QString plain = text;
    plain.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    plain.remove(QLatin1Char('&'));
    return plain;
}

QAction* CCommandTable::Action(int id) {
    if (QAction* action = m_actions.value(id))
        return action;
    const CommandEntry* entry = Find(id);
    auto* action = new QAction(this);
    action->setData(id);
    if (entry) {
        action->setText(QString::fromUtf8(entry->text));
        if (entry->icon)
            action->setIcon(ThemeIcon(entry->icon));
        action->setShortcut(entry->shortcut);
        action->setCheckable(entry->checkable);
    }
    connect(action, &QAction::triggered, this, [this, id] { Run(id); });
    m_actions.insert(id, action);
    Apply(id);
    return action;
}

void CCommandTable::Handle(int id, Handler handler) {
    m_handlers.insert(id, std::move(handler));
    if (m_actions.contains(id))
        Apply(id);
}

void CCommandTable::SetAvailability(int id, Availability check) {
    m_availability.insert(id, std::move(check));
    if (m_actions.contains(id))
        Apply(id);
}

QString CCommandTable::Unavailable(int id) const {
    const CommandEntry* entry = Find(id);
    // A command whose work has come since the table was written has a handler of its own.
    if (entry && entry->unavailable && !m_handlers.contains(id))
        return QString::fromUtf8(entry->unavailable);
    if (!m_handlers.contains(id))
        return QStringLiteral("尚未提供");
    const auto check = m_availability.constFind(id);
    return check != m_availability.constEnd() && *check ? (*check)() : QString();
}

bool CCommandTable::Run(int id) {
    const auto handler = m_handlers.constFind(id);
    if (handler == m_handlers.constEnd() || !*handler || !Unavailable(id).isEmpty())
        return false;
    // A copy: the handler may replace itself or close the window that owns the table.
    const Handler run = *handler;
    run();
    return true;
}

void CCommandTable::Refresh() {
    for (auto it = m_actions.constBegin(); it != m_actions.constEnd(); ++it)
        Apply(it.key());
}

void CCommandTable::Apply(int id) {
    QAction* action = m_actions.value(id);
    if (!action)
        return;
    const QString reason = Unavailable(id);
    action->setEnabled(reason.isEmpty());
    action->setToolTip(reason.isEmpty() ? PlainText(action->text()).remove(QStringLiteral("..."))
                                        : reason);
    action->setStatusTip(reason);
}

QAction* CCommandTable::AddTo(QMenu* menu, int id, MenuText text) {
    const QString label = text == MenuText::kPlain     ? PlainText(Text(id))
                          : text == MenuText::kContext ? ContextText(id)
                                                       : Text(id);
    QAction* action = menu->addAction(label);
    action->setData(id);
    const CommandEntry* entry = Find(id);
    if (entry && text != MenuText::kPlain && !(text == MenuText::kContext && entry->contextText))
        action->setShortcut(entry->shortcut);
    const QString reason = Unavailable(id);
    action->setEnabled(reason.isEmpty());
    if (!reason.isEmpty())
        action->setToolTip(reason);
    menu->setToolTipsVisible(true);
    connect(action, &QAction::triggered, this, [this, id] { Run(id); });
    return action;
}
