#include "ui/reader/RssFavoriteTreeCtrl.h"

#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"
#include "ui/app/CommandTable.h"
#include "ui/common/CommandIds.h"
#include "ui/common/FileChooser.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/export/EbookDialog.h"
#include "ui/reader/DirectoryDialog.h"
#include "ui/reader/FavoriteBoxDialog.h"
#include "ui/reader/FavoriteBoxPicker.h"
#include "ui/reader/FavoriteItemDialog.h"
#include "ui/reader/FavoriteItemList.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <memory>

namespace {

constexpr const char* kFeedFilter = "*.xml|*.xml|所有文件 (*.*)|*.*||";

} // namespace

CRssFavoriteTreeCtrl::CRssFavoriteTreeCtrl(CRssFavorites& favorites, CFeedDatabase& store,
                                           CCommandTable& commands, CJobRunner& dialogJobs,
                                           QWidget* parent)
    : QTreeWidget(parent), m_favorites(favorites), m_store(store), m_commands(commands),
      m_dialogJobs(dialogJobs) {
    setHeaderHidden(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    connect(this, &QTreeWidget::currentItemChanged, this, [this] { OnSelectionChanged(); });
    auto expandedChanged = [this](QTreeWidgetItem* item, bool expanded) {
        if (!m_updating)
            m_favorites.Tree().SetExpanded(IndexOf(item), expanded);
    };
    connect(this, &QTreeWidget::itemExpanded, this,
            [expandedChanged](QTreeWidgetItem* item) { expandedChanged(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [expandedChanged](QTreeWidgetItem* item) { expandedChanged(item, false); });
    RegisterCommands();
}

void CRssFavoriteTreeCtrl::RegisterCommands() {
    CCommandTable& c = m_commands;
    // New boxes and folders go into the folder the menu was opened on, else to the top level.
    for (int id : {kCmdNewFavorite, kCmdNewFavoriteBox})
        c.Handle(id, [this] { NewBox(FolderOf(m_menuItem)); });
    for (int id : {kCmdNewFavoriteFolder, kCmdNewFavoriteFolderHere})
        c.Handle(id, [this] { NewFolder(FolderOf(m_menuItem)); });
    c.Handle(kCmdImportFavorites, [this] { ImportBox(FolderOf(m_menuItem)); });
    c.Handle(kCmdAddFavoriteItem, [this] {
        AddItemByHand(m_favorites.IsBox(m_menuItem) ? m_menuItem : CurrentIndex());
    });
    c.Handle(kCmdExportFavoriteFeed, [this] { ExportBox(m_menuItem); });
    c.Handle(kCmdFavoriteEbook, [this] {
        if (m_favorites.IsBox(m_menuItem))
            CEbookDialog::OpenForFavoriteBox(this, m_dialogJobs, m_favorites, m_store, m_menuItem);
    });
    c.Handle(kCmdFavoriteSiteInPane, [this] { OpenSite(m_menuItem, false); });
    c.Handle(kCmdFavoriteSiteOutside, [this] { OpenSite(m_menuItem, true); });
    c.Handle(kCmdFavoriteMoveUp, [this] { MoveUp(m_menuItem); });
    c.Handle(kCmdFavoriteMoveToTop, [this] { MoveToTop(m_menuItem); });
    c.Handle(kCmdDeleteFavorite, [this] { DeleteItem(m_menuItem); });
    c.Handle(kCmdFavoriteProperties, [this] { ShowProperties(m_menuItem); });
}

bool CRssFavoriteTreeCtrl::RunFor(int commandId, int index) {
    const int before = m_menuItem;
    m_menuItem = index;
    const bool ran = m_commands.Run(commandId);
    m_menuItem = before;
    return ran;
}

void CRssFavoriteTreeCtrl::SetItemList(CFavoriteItemList* list) {
    m_itemList = list;
    if (m_itemList)
        connect(m_itemList, &CFavoriteItemList::ItemOpened, this,
                &CRssFavoriteTreeCtrl::ItemOpened);
}

bool CRssFavoriteTreeCtrl::Build() {
    const bool built = m_favorites.Build();
    Fill();
    return built;
}

void CRssFavoriteTreeCtrl::Fill() {
    m_updating = true;
    clear();
    m_items.clear();
    for (int root : m_favorites.Tree().Roots()) {
        QTreeWidgetItem* item = MakeItem(root);
        addTopLevelItem(item);
        AddChildren(item, m_favorites.Tree().Record(root).children);
        item->setExpanded(m_favorites.Tree().Record(root).expanded);
    }
    m_updating = false;
}

void CRssFavoriteTreeCtrl::AddChildren(QTreeWidgetItem* parent, const std::vector<int>& children) {
    for (int child : children) {
        QTreeWidgetItem* item = MakeItem(child);
        parent->addChild(item);
        AddChildren(item, m_favorites.Tree().Record(child).children);
        item->setExpanded(m_favorites.Tree().Record(child).expanded);
    }
}

QTreeWidgetItem* CRssFavoriteTreeCtrl::MakeItem(int index) {
    const ChannelRecord record = m_favorites.Tree().Record(index);
    auto* item = new QTreeWidgetItem({ToQ(record.title)});
    item->setData(0, kIndexRole, index);
    const bool box = !record.directory;
    item->setIcon(0, box ? ThemeIcon("starred", QStyle::SP_FileIcon)
                         : ThemeIcon("folder", QStyle::SP_DirIcon));
    item->setToolTip(0, box ? QStringLiteral("收藏节点 %1").arg(ToQ(record.xmlUrl))
                            : ToQ(record.title));
    m_items.insert(index, item);
    return item;
}

int CRssFavoriteTreeCtrl::IndexOf(const QTreeWidgetItem* item) const {
    return item ? item->data(0, kIndexRole).toInt() : -1;
}

QTreeWidgetItem* CRssFavoriteTreeCtrl::ItemOf(int index) const {
    return m_items.value(index, nullptr);
}

int CRssFavoriteTreeCtrl::CurrentIndex() const {
    return IndexOf(currentItem());
}

void CRssFavoriteTreeCtrl::SelectIndex(int index) {
    if (QTreeWidgetItem* item = ItemOf(index))
        setCurrentItem(item);
}

int CRssFavoriteTreeCtrl::FolderOf(int index) const {
    return index >= 0 && m_favorites.Tree().IsValid(index) && !m_favorites.IsBox(index) ? index
                                                                                        : -1;
}

void CRssFavoriteTreeCtrl::OnSelectionChanged() {
    if (!m_updating)
        ShowCurrentBox();
}

void CRssFavoriteTreeCtrl::ShowCurrentBox() {
    if (!m_itemList)
        return;
    const int index = CurrentIndex();
    m_itemList->ShowBox(m_favorites.IsBox(index) ? index : -1);
}

std::vector<int> CRssFavoriteTreeCtrl::ContextCommands(bool box, bool onItem) {
    if (!onItem)
        return {kCmdNewFavoriteBox, kCmdNewFavoriteFolderHere, 0, kCmdImportFavorites};
    if (box)
        return {kCmdAddFavoriteItem,     0, kCmdExportFavoriteFeed,
                kCmdFavoriteEbook,       0, kCmdFavoriteSiteInPane,
                kCmdFavoriteSiteOutside, 0, kCmdFavoriteMoveUp,
                kCmdFavoriteMoveToTop,   0, kCmdDeleteFavorite,
                kCmdFavoriteProperties};
    return {kCmdNewFavoriteBox,
            kCmdNewFavoriteFolderHere,
            kCmdImportFavorites,
            0,
            kCmdFavoriteSiteInPane,
            kCmdFavoriteSiteOutside,
            0,
            kCmdFavoriteMoveUp,
            kCmdFavoriteMoveToTop,
            0,
            kCmdDeleteFavorite,
            kCmdFavoriteProperties};
}

QMenu* CRssFavoriteTreeCtrl::BuildContextMenu(int index, QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (int id : ContextCommands(m_favorites.IsBox(index), index >= 0)) {
        if (id == 0)
            menu->addSeparator();
        else
            m_commands.AddTo(menu, id, CCommandTable::MenuText::kContext);
    }
    return menu;
}

void CRssFavoriteTreeCtrl::contextMenuEvent(QContextMenuEvent* event) {
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

void CRssFavoriteTreeCtrl::AddNewItem(int index, int parent) {
    QTreeWidgetItem* item = MakeItem(index);
    if (QTreeWidgetItem* parentItem = ItemOf(parent)) {
        parentItem->addChild(item);
        parentItem->setExpanded(true);
    } else {
        addTopLevelItem(item);
    }
    setCurrentItem(item);
}

std::optional<int> CRssFavoriteTreeCtrl::NewBox(int parent) {
    CFavoriteBoxDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    int index = -1;
    if (!m_favorites.AddBox(parent, ToStd(dialog.Name()), ToStd(dialog.SiteUrl()), m_store, &index))
        return std::nullopt;
    AddNewItem(index, parent);
    return index;
}

void CRssFavoriteTreeCtrl::NewFolder(int parent) {
    CDirectoryDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("新建收藏夹"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    int index = -1;
    if (m_favorites.AddFolder(parent, ToStd(dialog.Name()), &index))
        AddNewItem(index, parent);
}

void CRssFavoriteTreeCtrl::AddItemByHand(int box) {
    if (!m_favorites.IsBox(box)) {
        CMessageBox::Show(this, QStringLiteral("请先选择一个收藏节点"));
        return;
    }
    CFavoriteItemDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (m_favorites.AddItem(box, dialog.Item(), m_store) && m_itemList && m_itemList->Box() == box)
        m_itemList->ShowBox(box);
}

void CRssFavoriteTreeCtrl::DeleteItem(int index) {
    if (!m_favorites.Tree().IsValid(index))
        return;
    if (!CMessageBox::Ask(this, QString::fromUtf8(CRssFavorites::kDeleteQuestion),
                          QStringLiteral("确认")))
        return;
    if (!m_favorites.Delete(index, m_store))
        return;
    QTreeWidgetItem* item = ItemOf(index);
    m_updating = true;
    for (int gone : m_favorites.Tree().ChannelsBelow(index))
        m_items.remove(gone);
    m_items.remove(index);
    delete item;
    m_updating = false;
    ShowCurrentBox();
}

void CRssFavoriteTreeCtrl::ShowProperties(int index) {
    if (!m_favorites.Tree().IsValid(index))
        return;
    const ChannelRecord record = m_favorites.Tree().Record(index);
    QString name, site;
    if (m_favorites.IsBox(index)) {
        CFavoriteBoxDialog dialog(this);
        dialog.setWindowTitle(QStringLiteral("属性"));
        dialog.SetValues(ToQ(record.title), ToQ(record.xmlUrl), ToQ(record.htmlUrl));
        if (dialog.exec() != QDialog::Accepted)
            return;
        name = dialog.Name();
        site = dialog.SiteUrl();
    } else {
        CDirectoryDialog dialog(this);
        dialog.setWindowTitle(QStringLiteral("属性"));
        dialog.NameEdit()->setText(ToQ(record.title));
        if (dialog.exec() != QDialog::Accepted)
            return;
        name = dialog.Name();
        site = ToQ(record.htmlUrl);
    }
    if (m_favorites.SetProperties(index, ToStd(name), ToStd(site)))
        if (QTreeWidgetItem* item = ItemOf(index))
            item->setText(0, name);
}

void CRssFavoriteTreeCtrl::ExportBox(int box) {
    if (!m_favorites.IsBox(box))
        return;
    const QString title = ToQ(m_favorites.Tree().Record(box).title);
    const QString path = CFileChooser::SaveFile(this, QStringLiteral("导出FEED"), title,
                                                QString::fromUtf8(kFeedFilter));
    if (path.isEmpty())
        return;
    if (m_favorites.ExportBox(box, ToStd(path), m_store))
        CMessageBox::Show(this, QString::fromUtf8(CRssFavorites::kExportDoneText));
}

void CRssFavoriteTreeCtrl::ImportBox(int parent) {
    const QString path =
        CFileChooser::OpenFile(this, QStringLiteral("导入收藏"), QString::fromUtf8(kFeedFilter));
    if (path.isEmpty())
        return;
    int index = -1;
    if (m_favorites.ImportBox(ToStd(path), parent, m_store, &index))
        AddNewItem(index, parent);
}

void CRssFavoriteTreeCtrl::MoveUp(int index) {
    if (m_favorites.Tree().MoveUp(index)) {
        Fill();
        SelectIndex(index);
    }
}

void CRssFavoriteTreeCtrl::MoveToTop(int index) {
    if (m_favorites.Tree().MoveToTop(index)) {
        Fill();
        SelectIndex(index);
    }
}

void CRssFavoriteTreeCtrl::OpenSite(int index, bool outside) {
    if (!m_favorites.Tree().IsValid(index))
        return;
    const std::string site = m_favorites.Tree().Record(index).htmlUrl;
    if (site.empty())
        return;
    if (outside)
        QDesktopServices::openUrl(QUrl::fromUserInput(ToQ(site)));
    else
        emit OpenInPane(ToQ(site));
}

int CRssFavoriteTreeCtrl::LastBox() const {
    return m_favorites.IsBox(m_lastBox) ? m_lastBox : -1;
}

bool CRssFavoriteTreeCtrl::CopyItemsToBox(const std::vector<FeedItemRef>& items, int box) {
    if (items.empty())
        return false;
    if (box < 0) {
        bool anyBox = false;
        for (int root : m_favorites.Tree().Roots())
            anyBox = anyBox || !m_favorites.BoxesBelow(root).empty();
        if (!anyBox) {
            // No box yet: the way on is to make one now, and the items go there.
            if (!CMessageBox::Ask(this,
                                  QStringLiteral("还没有收藏节点, 现在新建一个收藏来存放这篇文章吗?"),
                                  QStringLiteral("加入收藏")))
                return false;
            const std::optional<int> made = NewBox(-1);
            if (!made)
                return false;
            box = *made;
        } else {
            const std::optional<int> chosen = CFavoriteBoxPicker::Pick(
                m_favorites, m_lastBox, [this] { return NewBox(-1); }, window());
            if (!chosen)
                return false;
            box = *chosen;
        }
    }
    if (!m_favorites.CopyItems(box, items, m_store))
        return false;
    m_lastBox = box;
    if (m_itemList && m_itemList->Box() == box)
        m_itemList->ShowBox(box);
    emit ItemsCopied(QStringLiteral("已加入收藏 \"%1\": %2 篇文章")
                         .arg(ToQ(m_favorites.Tree().PathText(box, "/")))
                         .arg(items.size()));
    return true;
}

bool CRssFavoriteTreeCtrl::MoveItemsToBox(int fromBox, const std::vector<int>& itemIds, int toBox) {
    if (!m_favorites.MoveItems(fromBox, toBox, itemIds, m_store))
        return false;
    if (m_itemList)
        m_itemList->ShowBox(m_itemList->Box());
    return true;
}

bool CRssFavoriteTreeCtrl::DropData(const QMimeData* data, int target) {
    int from = -1;
    std::vector<int> ids;
    if (data->hasFormat(QString::fromLatin1(kFeedItemsMime))) {
        if (!CFavoriteItemList::ParseMime(data->data(QString::fromLatin1(kFeedItemsMime)), from,
                                          ids) ||
            !m_favorites.IsBox(target))
            return false;
        // 1 before the bar: on-line search results (see CFeedItemModel::mimeData).
        std::vector<FeedItemRef> items;
        for (int id : ids)
            items.push_back(from == 1 ? WebSearchItem(id) : StoredItem(id));
        return CopyItemsToBox(items, target);
    }
    if (data->hasFormat(QString::fromLatin1(CFavoriteItemList::kMimeType))) {
        if (!CFavoriteItemList::ParseMime(
                data->data(QString::fromLatin1(CFavoriteItemList::kMimeType)), from, ids) ||
            !m_favorites.IsBox(target))
            return false;
        return MoveItemsToBox(from, ids, target);
    }
    // A box or a folder of this tree, dropped onto a folder.
    const int index = CurrentIndex();
    if (index < 0 || target < 0 || index == target || m_favorites.IsBox(target))
        return false;
    if (!m_favorites.Tree().MoveInto(index, target))
        return false;
    Fill();
    SelectIndex(index);
    return true;
}

void CRssFavoriteTreeCtrl::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data->hasFormat(QString::fromLatin1(kFeedItemsMime)) ||
        data->hasFormat(QString::fromLatin1(CFavoriteItemList::kMimeType)) ||
        event->source() == this)
        event->acceptProposedAction();
    else
        event->ignore();
}

void CRssFavoriteTreeCtrl::dragMoveEvent(QDragMoveEvent* event) {
    const int target = IndexOf(itemAt(event->position().toPoint()));
    const QMimeData* data = event->mimeData();
    const bool items = data->hasFormat(QString::fromLatin1(kFeedItemsMime)) ||
                       data->hasFormat(QString::fromLatin1(CFavoriteItemList::kMimeType));
    const bool fits = items ? m_favorites.IsBox(target)
                            : target >= 0 && !m_favorites.IsBox(target) && target != CurrentIndex();
    if (fits) {
        event->setDropAction(items && data->hasFormat(QString::fromLatin1(kFeedItemsMime))
                                 ? Qt::CopyAction
                                 : Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CRssFavoriteTreeCtrl::dropEvent(QDropEvent* event) {
    const int target = IndexOf(itemAt(event->position().toPoint()));
    // The tree moves nothing by itself: the favorites file and the store decide.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    DropData(event->mimeData(), target);
}
