#include "ui/reader/RssChannelTreeCtrl.h"
#include "ui/reader/OpmlCommands.h"

#include "app/ErrorCatalog.h"
#include "platform/text/ReasonText.h"
#include "storage/FeedDatabase.h"
#include "ui/app/CommandTable.h"
#include "ui/common/AppIcons.h"
#include "ui/common/CommandIds.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/export/EbookDialog.h"
#include "ui/reader/ChannelPropertySheet.h"
#include "ui/reader/DirectoryDialog.h"
#include "ui/reader/DirectoryPropertySheet.h"
#include "ui/reader/RssReader.h"
#include "ui/reader/SubscriptionDialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QUrl>
#include <memory>

namespace {

// The entry an item's context menu shows in bold.
bool IsDefaultCommand(int id) {
    return id == kCmdChannelProperties || id == kCmdDirectoryProperties;
}

QIcon ImageIcon(int image, bool expanded) {
    switch (image) {
    case kImageDirectory:
        return expanded ? ThemeIcon("folder-open", QStyle::SP_DirOpenIcon)
                        : ThemeIcon("folder", QStyle::SP_DirIcon);
    case kImageReceived:
        return FeedIcon(1);
    case kImageFailed:
        return FeedIcon(2);
    case kImageReceiving:
    case kImageReceivingOne:
        return FeedIcon(3);
    case kImageChannel:
    default:
        return FeedIcon(0);
    }
}

} // namespace

void CChannelItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    const int unread = index.data(CRssChannelTreeCtrl::kUnreadRole).toInt();
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (unread == 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The row without its text, then the title and the count side by side.
    const QString title = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    QFont titleFont = opt.font;
    titleFont.setBold(true);
    painter->setFont(titleFont);
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QString count = QStringLiteral(" [%1]").arg(unread);
    QFontMetrics titleMetrics(titleFont);
    const int countWidth = QFontMetrics(opt.font).horizontalAdvance(count);
    const QString shown =
        titleMetrics.elidedText(title, Qt::ElideRight, qMax(0, textRect.width() - countWidth));
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, shown);
    QRect countRect = textRect;
    countRect.setLeft(textRect.left() + titleMetrics.horizontalAdvance(shown));
    painter->setFont(opt.font);
    painter->setPen(selected ? opt.palette.color(QPalette::HighlightedText)
                             : QColor(0x1c, 0x5f, 0xc4));
    painter->drawText(countRect, Qt::AlignLeft | Qt::AlignVCenter, count);
    painter->restore();
}

QSize CChannelItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const int unread = index.data(CRssChannelTreeCtrl::kUnreadRole).toInt();
    if (unread != 0) {
        QFont bold = option.font;
        bold.setBold(true);
        size.rwidth() +=
            QFontMetrics(option.font).horizontalAdvance(QStringLiteral(" [%1]").arg(unread)) +
            QFontMetrics(bold).horizontalAdvance(index.data().toString()) -
            QFontMetrics(option.font).horizontalAdvance(index.data().toString());
    }
    return size;
}

CRssChannelTreeCtrl::CRssChannelTreeCtrl(CRssReader& reader, CCommandTable& commands,
                                         CJobRunner& dialogJobs, QWidget* parent)
    : QTreeWidget(parent), m_reader(reader), m_commands(commands), m_dialogJobs(dialogJobs) {
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setItemDelegate(new CChannelItemDelegate(this));
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setExpandsOnDoubleClick(false);
    setAnimated(true);

    connect(this, &QTreeWidget::itemChanged, this, &CRssChannelTreeCtrl::OnItemChanged);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                const int index = IndexOf(current);
                m_reader.SetSelected(index);
                if (index < 0)
                    return;
                emit ChannelSelected(index);
                const ChannelRecord record = m_reader.Tree().Record(index);
                if (!record.directory && m_reader.Tree().Options().receiveOnClick)
                    m_reader.Scheduler().ReceiveChannel(index, {.refreshList = true});
            });
    auto expandedChanged = [this](QTreeWidgetItem* item, bool expanded) {
        const int index = IndexOf(item);
        if (index < 0)
            return;
        m_reader.Tree().SetExpanded(index, expanded);
        SetItemIcon(item, m_reader.Tree().Record(index));
    };
    connect(this, &QTreeWidget::itemExpanded, this,
            [expandedChanged](QTreeWidgetItem* item) { expandedChanged(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [expandedChanged](QTreeWidgetItem* item) { expandedChanged(item, false); });

    connect(&m_reader, &CRssReader::ImageChanged, this,
            [this](int index, int) { RefreshItem(index); });
    connect(&m_reader, &CRssReader::UnreadChanged, this,
            [this](int index, int) { RefreshItem(index); });
    connect(&m_reader, &CRssReader::CountsChanged, this, &CRssChannelTreeCtrl::RefreshAll);
    connect(&m_reader, &CRssReader::ChannelDone, this, &CRssChannelTreeCtrl::OnChannelDone);
    RegisterCommands();
}

void CRssChannelTreeCtrl::RegisterCommands() {
    CCommandTable& c = m_commands;
    c.Handle(kCmdAddSubscription, [this] {
        emit SideWanted();
        AddSubscription(NewParent());
    });
    c.Handle(kCmdNewDirectory, [this] {
        emit SideWanted();
        NewDirectory(NewParent());
    });
    c.Handle(kCmdReceiveAll, [this] {
        emit SideWanted();
        if (!m_reader.Scheduler().IsBusy())
            m_reader.Scheduler().ReceiveAll();
    });
    c.Handle(kCmdReceiveChannel, [this] { ReceiveItem(Target()); });
    c.Handle(kCmdReceiveBranch, [this] { ReceiveBranch(Target(), {}); });
    c.Handle(kCmdReceiveDirectoryAll, [this] { ReceiveBranch(Target(), {.takeEvery = true}); });
    for (int id : {kCmdMarkChannelRead, kCmdMarkRead})
        c.Handle(id, [this] { MarkRead(Target()); });
    for (int id : {kCmdClearChannel, kCmdClearDirectory})
        c.Handle(id, [this] { ClearItem(Target()); });
    for (int id : {kCmdDeleteChannel, kCmdDeleteDirectory})
        c.Handle(id, [this] { DeleteItem(Target()); });
    c.Handle(kCmdRename, [this] { StartRename(Target()); });
    c.Handle(kCmdMoveUp, [this] { MoveUp(Target()); });
    c.Handle(kCmdMoveToTop, [this] { MoveToTop(Target()); });
    c.Handle(kCmdOpenSiteInPane, [this] { OpenSite(Target(), false); });
    c.Handle(kCmdOpenSiteOutside, [this] { OpenSite(Target(), true); });
    c.Handle(kCmdChannelEbook,
             [this] { CEbookDialog::OpenForChannel(this, m_dialogJobs, m_reader, Target()); });
    c.Handle(kCmdImportOpml, [this] { COpmlCommands::Import(*this); });
    c.Handle(kCmdExportAll, [this] { COpmlCommands::ExportAll(*this); });
    for (int id : {kCmdExportChannel, kCmdExportDirectory})
        c.Handle(id, [this] { COpmlCommands::ExportCurrent(*this, Target()); });
    for (int id : {kCmdChannelProperties, kCmdDirectoryProperties})
        c.Handle(id, [this] { ShowProperties(Target()); });
}

int CRssChannelTreeCtrl::Target() const {
    return m_menuItem >= 0 ? m_menuItem : CurrentIndex();
}

int CRssChannelTreeCtrl::NewParent() const {
    return m_menuItem >= 0 && m_reader.Tree().Record(m_menuItem).directory ? m_menuItem : -1;
}

bool CRssChannelTreeCtrl::RunFor(int commandId, int index) {
    const int before = m_menuItem;
    m_menuItem = index;
    const bool ran = m_commands.Run(commandId);
    m_menuItem = before;
    return ran;
}

QString CRssChannelTreeCtrl::ToolTipOf(const ChannelRecord& record) {
    if (record.directory)
        return ToQ(record.title);
    QString tip = ToQ(record.xmlUrl);
    const std::string gone = CReasonText::Text(Reason::kFeedGoneForGood);
    if (!record.receiveError.empty())
        tip += QStringLiteral("\n收取失败: ") + ToQ(record.receiveError);
    if (record.gone && record.receiveError != gone)
        tip += QStringLiteral("\n") + ToQ(gone);
    return tip;
}

void CRssChannelTreeCtrl::OnChannelDone(const ChannelReceiveResult& result) {
    RefreshItem(result.index);
    if (result.Ok() || !result.byHand)
        return;
    // The user asked for this channel: say why it did not come.
    ErrorEntry entry;
    if (!CErrorCatalog::Lookup(kErrChannelReceive, entry)) {
        entry.summary = "频道收取失败";
        entry.place = 2;
    }
    if (result.outcome == ChannelReceiveResult::Outcome::kStoreFailed)
        entry.place = 0;
    const std::string details = entry.description + (entry.description.empty() ? "" : "\n") +
                                m_reader.Tree().PathText(result.index) + ": " + result.reason;
    CMessageBox::ShowErrorText(this, kErrChannelReceive, entry.place, ToQ(entry.summary),
                               ToQ(details));
}

QTreeWidgetItem* CRssChannelTreeCtrl::MakeItem(int index) {
    auto* item = new QTreeWidgetItem;
    item->setData(0, kIndexRole, index);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable |
                   Qt::ItemIsDragEnabled);
    const ChannelRecord record = m_reader.Tree().Record(index);
    if (record.directory)
        item->setFlags(item->flags() | Qt::ItemIsDropEnabled);
    item->setText(0, ToQ(record.title));
    item->setData(0, kUnreadRole, record.unreadCount);
    item->setToolTip(0, ToolTipOf(record));
    SetItemIcon(item, record);
    m_items.insert(index, item);
    return item;
}

void CRssChannelTreeCtrl::SetItemIcon(QTreeWidgetItem* item, const ChannelRecord& record) {
    const int image = record.directory ? static_cast<int>(kImageDirectory) : record.image;
    item->setIcon(0, ImageIcon(image, record.directory && item->isExpanded()));
}

void CRssChannelTreeCtrl::AddChildren(QTreeWidgetItem* parent, const std::vector<int>& children) {
    for (int index : children) {
        QTreeWidgetItem* item = MakeItem(index);
        if (parent)
            parent->addChild(item);
        else
            addTopLevelItem(item);
        const ChannelRecord record = m_reader.Tree().Record(index);
        AddChildren(item, record.children);
        if (record.directory && record.expanded)
            item->setExpanded(true);
    }
}

void CRssChannelTreeCtrl::Fill() {
    m_updating = true;
    clear();
    m_items.clear();
    AddChildren(nullptr, m_reader.Tree().Roots());
    m_updating = false;
}

int CRssChannelTreeCtrl::IndexOf(const QTreeWidgetItem* item) const {
    if (!item)
        return -1;
    bool ok = false;
    int index = item->data(0, kIndexRole).toInt(&ok);
    return ok ? index : -1;
}

QTreeWidgetItem* CRssChannelTreeCtrl::ItemOf(int index) const {
    return m_items.value(index, nullptr);
}

int CRssChannelTreeCtrl::CurrentIndex() const {
    return IndexOf(currentItem());
}

void CRssChannelTreeCtrl::SelectIndex(int index) {
    if (QTreeWidgetItem* item = ItemOf(index))
        setCurrentItem(item);
}

QString CRssChannelTreeCtrl::LabelText(const std::string& title, int unreadCount) {
    QString label = ToQ(title);
    if (unreadCount != 0)
        label += QStringLiteral(" [%1]").arg(unreadCount);
    return label;
}

QString CRssChannelTreeCtrl::LabelOf(int index) const {
    const ChannelRecord record = m_reader.Tree().Record(index);
    return LabelText(record.title, record.unreadCount);
}

void CRssChannelTreeCtrl::RefreshItem(int index) {
    QTreeWidgetItem* item = ItemOf(index);
    if (!item)
        return;
    const ChannelRecord record = m_reader.Tree().Record(index);
    m_updating = true;
    if (item->text(0) != ToQ(record.title))
        item->setText(0, ToQ(record.title));
    item->setData(0, kUnreadRole, record.unreadCount);
    item->setToolTip(0, ToolTipOf(record));
    SetItemIcon(item, record);
    m_updating = false;
}

void CRssChannelTreeCtrl::RefreshAll() {
    for (auto it = m_items.constBegin(); it != m_items.constEnd(); ++it)
        RefreshItem(it.key());
}

void CRssChannelTreeCtrl::OnItemChanged(QTreeWidgetItem* item, int column) {
    if (m_updating || column != 0)
        return;
    const int index = IndexOf(item);
    if (index < 0)
        return;
    const ChannelRecord record = m_reader.Tree().Record(index);
    const std::string title = ToStd(item->text(0).trimmed());
    if (title.empty() || title == record.title || !m_reader.Tree().Rename(index, title)) {
        // Nothing renamed: the old title stays.
        m_updating = true;
        item->setText(0, ToQ(record.title));
        m_updating = false;
        return;
    }
    RefreshItem(index);
}

std::vector<int> CRssChannelTreeCtrl::ContextCommands(bool directory, bool onItem) {
    if (!onItem)
        return {kCmdAddSubscription, kCmdNewDirectory, 0, kCmdReceiveAll, 0,
                kCmdImportOpml,      kCmdExportAll};
    if (directory)
        return {kCmdReceiveBranch,
                kCmdReceiveDirectoryAll,
                kCmdReceiveAll,
                0,
                kCmdAddSubscription,
                kCmdNewDirectory,
                0,
                kCmdMarkRead,
                kCmdClearDirectory,
                kCmdDeleteDirectory,
                kCmdRename,
                0,
                kCmdMoveUp,
                kCmdMoveToTop,
                0,
                kCmdOpenSiteInPane,
                kCmdOpenSiteOutside,
                0,
                kCmdExportDirectory,
                kCmdChannelEbook,
                0,
                kCmdDirectoryProperties};
    return {kCmdReceiveChannel,
            0,
            kCmdMarkChannelRead,
            kCmdClearChannel,
            kCmdDeleteChannel,
            kCmdRename,
            0,
            kCmdMoveUp,
            kCmdMoveToTop,
            0,
            kCmdOpenSiteInPane,
            kCmdOpenSiteOutside,
            0,
            kCmdExportChannel,
            kCmdChannelEbook,
            0,
            kCmdChannelProperties};
}

QMenu* CRssChannelTreeCtrl::BuildContextMenu(int index, QWidget* parent) {
    const bool directory = index >= 0 && m_reader.Tree().Record(index).directory;
    auto* menu = new QMenu(parent);
    for (int id : ContextCommands(directory, index >= 0)) {
        if (id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = m_commands.AddTo(menu, id, CCommandTable::MenuText::kContext);
        if (IsDefaultCommand(id))
            menu->setDefaultAction(action);
    }
    return menu;
}

void CRssChannelTreeCtrl::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(viewport()->mapFromGlobal(event->globalPos()));
    const int index = IndexOf(item);
    if (item)
        setCurrentItem(item);
    const std::unique_ptr<QMenu> menu(BuildContextMenu(index, this));
    // The chosen command runs while the menu does.
    const int before = m_menuItem;
    m_menuItem = index;
    menu->exec(event->globalPos());
    m_menuItem = before;
}

void CRssChannelTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    const int index = IndexOf(item);
    if (index >= 0 && !m_reader.Tree().Record(index).directory) {
        m_reader.Scheduler().ReceiveChannel(index, {.refreshList = true, .byHand = true});
        return;
    }
    if (item)
        item->setExpanded(!item->isExpanded());
}

void CRssChannelTreeCtrl::keyPressEvent(QKeyEvent* event) {
    const int index = CurrentIndex();
    if (event->key() == Qt::Key_Delete && index >= 0 && state() != EditingState) {
        DeleteItem(index);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CRssChannelTreeCtrl::ReceiveItem(int index) {
    if (index < 0)
        return;
    if (m_reader.Tree().Record(index).directory)
        ReceiveBranch(index, {});
    else
        m_reader.Scheduler().ReceiveChannel(index, {.refreshList = true, .byHand = true});
}

void CRssChannelTreeCtrl::ReceiveBranch(int index, const BranchRequest& request) {
    if (index < 0)
        return;
    m_reader.SettleReadMarks();
    m_reader.Scheduler().ReceiveBranch(index, request);
}

void CRssChannelTreeCtrl::AddSubscriptionFromAddress(const std::string& address) {
    std::string url;
    std::string title;
    if (!CChannelTree::ParseStartAddress(address, url, title))
        return;
    AddSubscription(-1, ToQ(url), ToQ(title));
}

void CRssChannelTreeCtrl::AddSubscription(int parent, const QString& url, const QString& title) {
    CSubscriptionDialog dialog(m_reader.Context(), this);
    dialog.SetValues(url, title, QString());
    if (dialog.exec() != QDialog::Accepted)
        return;
    int newIndex = -1;
    if (!m_reader.Tree().AddSubscription(parent, ToStd(dialog.Url()), ToStd(dialog.Title()),
                                         ToStd(dialog.SiteUrl()), &newIndex))
        return;
    QTreeWidgetItem* item = MakeItem(newIndex);
    if (QTreeWidgetItem* parentItem = ItemOf(parent)) {
        parentItem->addChild(item);
        parentItem->setExpanded(true);
    } else {
        addTopLevelItem(item);
    }
    setCurrentItem(item);
    // A new channel is received at once, so that its items are there to read.
    m_reader.Scheduler().ReceiveChannel(newIndex, {.refreshList = true, .byHand = true});
}

void CRssChannelTreeCtrl::NewDirectory(int parent) {
    CDirectoryDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    int newIndex = -1;
    if (!m_reader.Tree().AddDirectory(parent, ToStd(dialog.Name()), &newIndex))
        return;
    QTreeWidgetItem* item = MakeItem(newIndex);
    if (QTreeWidgetItem* parentItem = ItemOf(parent)) {
        parentItem->addChild(item);
        parentItem->setExpanded(true);
    } else {
        addTopLevelItem(item);
    }
    setCurrentItem(item);
}

void CRssChannelTreeCtrl::DeleteItem(int index) {
    QTreeWidgetItem* item = ItemOf(index);
    if (!item)
        return;
    if (!CMessageBox::Ask(this, QStringLiteral("确定要删除该频道吗?"), QStringLiteral("确认")))
        return;
    if (!m_reader.Tree().Delete(index, m_reader.Store()))
        return;
    // The item and everything below it leave the tree.
    std::vector<QTreeWidgetItem*> stack{item};
    while (!stack.empty()) {
        QTreeWidgetItem* at = stack.back();
        stack.pop_back();
        m_items.remove(IndexOf(at));
        for (int i = 0; i < at->childCount(); ++i)
            stack.push_back(at->child(i));
    }
    emit ItemRemoved(index);
    delete item;
    emit ListRefreshNeeded();
}

void CRssChannelTreeCtrl::ClearItem(int index) {
    if (!ItemOf(index))
        return;
    if (!CMessageBox::Ask(this, QStringLiteral("确定要清空该频道吗?"), QStringLiteral("确认")))
        return;
    if (!m_reader.Tree().Clear(index, m_reader.Store()))
        return;
    for (int channel : m_reader.Tree().ChannelsBelow(index))
        RefreshItem(channel);
    RefreshItem(index);
    emit ListRefreshNeeded();
}

void CRssChannelTreeCtrl::MarkRead(int index) {
    if (index < 0)
        index = CurrentIndex();
    if (index < 0)
        return;
    if (!m_reader.View().MarkRead(index))
        return;
    for (int channel : m_reader.Tree().ChannelsBelow(index))
        RefreshItem(channel);
    RefreshItem(index);
    emit ListRefreshNeeded();
}

void CRssChannelTreeCtrl::MoveUp(int index) {
    QTreeWidgetItem* item = ItemOf(index);
    if (!item || !m_reader.Tree().MoveUp(index))
        return;
    const bool expanded = item->isExpanded();
    QTreeWidgetItem* parent = item->parent();
    m_updating = true;
    if (parent) {
        const int at = parent->indexOfChild(item);
        parent->takeChild(at);
        parent->insertChild(at - 1, item);
    } else {
        const int at = indexOfTopLevelItem(item);
        takeTopLevelItem(at);
        insertTopLevelItem(at - 1, item);
    }
    item->setExpanded(expanded);
    m_updating = false;
    setCurrentItem(item);
}

void CRssChannelTreeCtrl::MoveToTop(int index) {
    QTreeWidgetItem* item = ItemOf(index);
    if (!item || !m_reader.Tree().MoveToTop(index))
        return;
    const bool expanded = item->isExpanded();
    m_updating = true;
    if (QTreeWidgetItem* parent = item->parent())
        parent->removeChild(item);
    else
        takeTopLevelItem(indexOfTopLevelItem(item));
    addTopLevelItem(item);
    item->setExpanded(expanded);
    m_updating = false;
    setCurrentItem(item);
}

bool CRssChannelTreeCtrl::MoveInto(int index, int directory) {
    QTreeWidgetItem* item = ItemOf(index);
    QTreeWidgetItem* target = ItemOf(directory);
    if (!item || !target || item == target || !m_reader.Tree().MoveInto(index, directory))
        return false;
    const bool expanded = item->isExpanded();
    m_updating = true;
    if (QTreeWidgetItem* parent = item->parent())
        parent->removeChild(item);
    else
        takeTopLevelItem(indexOfTopLevelItem(item));
    target->addChild(item);
    target->setExpanded(true);
    item->setExpanded(expanded);
    m_updating = false;
    setCurrentItem(item);
    return true;
}

void CRssChannelTreeCtrl::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidget::dragMoveEvent(event);
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    const int index = IndexOf(target);
    const bool onDirectory =
        index >= 0 && m_reader.Tree().Record(index).directory && target != currentItem();
    if (onDirectory)
        event->acceptProposedAction();
    else
        event->ignore();
}

void CRssChannelTreeCtrl::dropEvent(QDropEvent* event) {
    // The tree moves nothing by itself: the channel file decides.
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    const int directory = IndexOf(target);
    const int index = CurrentIndex();
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (directory < 0 || index < 0 || directory == index ||
        !m_reader.Tree().Record(directory).directory)
        return;
    MoveInto(index, directory);
}

void CRssChannelTreeCtrl::OpenSite(int index, bool outside) {
    if (index < 0)
        return;
    const ChannelRecord record = m_reader.Tree().Record(index);
    if (record.htmlUrl.empty())
        return;
    if (outside)
        QDesktopServices::openUrl(QUrl::fromUserInput(ToQ(record.htmlUrl)));
    else
        emit OpenInPane(ToQ(record.htmlUrl));
}

void CRssChannelTreeCtrl::ShowProperties(int index) {
    if (index < 0)
        return;
    const ChannelRecord record = m_reader.Tree().Record(index);
    if (record.directory) {
        CDirectoryPropertySheet sheet(m_reader, index, this);
        sheet.exec();
    } else {
        int feedId = 0;
        // The channel's settings row is read before the sheet shows them.
        m_reader.Tree().GetFeedId(index, feedId, m_reader.Store());
        CChannelPropertySheet sheet(m_reader, index, this);
        sheet.exec();
    }
    RefreshItem(index);
}

void CRssChannelTreeCtrl::StartRename(int index) {
    if (QTreeWidgetItem* item = ItemOf(index)) {
        setCurrentItem(item);
        editItem(item, 0);
    }
}
