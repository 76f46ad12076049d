#pragma once

#include "storage/FeedItem.h"

#include <QHash>
#include <QTreeWidget>
#include <optional>
#include <string>
#include <vector>

class CCommandTable;
class CFeedDatabase;
class CFavoriteItemList;
class CJobRunner;
class CRssFavorites;
class QMenu;

// The feed favorites: folders (收藏夹) and boxes (收藏节点) of Storage/rssFavorite.opml. Items are
// copied in by dropping them from the item list onto a box (or by 加入收藏), moved between boxes
// by dropping them from the box's item list onto another box; the context commands add, delete,
// rename, move, export and import. The logic is CRssFavorites; this window shows it. Its
// commands are registered in the window's command table, beside the main window's 新建收藏,
// 新建收藏夹, 添加收藏项 and 导入收藏, which add to the top level or the current box.
class CRssFavoriteTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kIndexRole = Qt::UserRole + 1;
    // What a drag of received items carries: "0|id,id,..." (1 in front: the last download).
    static constexpr const char* kFeedItemsMime = "application/x-quill-feed-items";

    // dialogJobs: where the e-book dialog makes its book; it must outlive the tree.
    CRssFavoriteTreeCtrl(CRssFavorites& favorites, CFeedDatabase& store, CCommandTable& commands,
                         CJobRunner& dialogJobs, QWidget* parent = nullptr);

    // Builds the logic and fills the tree; false when the file cannot be loaded.
    bool Build();
    void Fill();
    CRssFavorites& Favorites() { return m_favorites; }
    // The list of the selected box's items, shown below the tree.
    CFavoriteItemList* ItemList() const { return m_itemList; }
    void SetItemList(CFavoriteItemList* list);

    int IndexOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOf(int index) const;
    int CurrentIndex() const;
    void SelectIndex(int index);

    // Runs a command as the item's context menu does (-1: the menu of the empty space); false
    // when the table has no handler for it.
    bool RunFor(int commandId, int index);
    // The commands a context menu offers, in order; 0 stands for a separator.
    static std::vector<int> ContextCommands(bool box, bool onItem);
    // The context menu of the item (-1: empty space), with the table's texts; the caller owns
    // it. Its commands apply to the item while the menu runs (see RunFor).
    QMenu* BuildContextMenu(int index, QWidget* parent);

    // The new box's index; nothing when the user cancelled or the name was refused.
    std::optional<int> NewBox(int parent);
    void NewFolder(int parent);
    void AddItemByHand(int box);
    void DeleteItem(int index);
    void ShowProperties(int index);
    void ExportBox(int box);
    void ImportBox(int parent);
    void MoveUp(int index);
    void MoveToTop(int index);
    // Copies received items or on-line search results into a box; with box -1 the user picks
    // one (the box chosen last is offered first; with no box yet, one is made on the spot).
    // False when nothing was copied.
    bool CopyItemsToBox(const std::vector<FeedItemRef>& items, int box = -1);
    // Moves favorite items into another box ("需要指定一个不同的收藏!" for their own box).
    bool MoveItemsToBox(int fromBox, const std::vector<int>& itemIds, int toBox);
    // What a drop does at the item (a box, a folder or -1).
    bool DropData(const class QMimeData* data, int target);

    // The box 加入收藏 chose last in this run, -1 when none (or it is gone).
    int LastBox() const;
    // Shows the current box's items in the item list (nothing when a folder is current).
    void ShowCurrentBox();

signals:
    void OpenInPane(const QString& address);
    // Items were copied into the box: what to say on the status line.
    void ItemsCopied(const QString& text);
    // The item is shown in the reading pane.
    void ItemOpened(const FeedItem& item);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void RegisterCommands();
    QTreeWidgetItem* MakeItem(int index);
    void AddChildren(QTreeWidgetItem* parent, const std::vector<int>& children);
    void AddNewItem(int index, int parent);
    int FolderOf(int index) const;
    void OnSelectionChanged();
    void OpenSite(int index, bool outside);

    CRssFavorites& m_favorites;
    CFeedDatabase& m_store;
    CCommandTable& m_commands;
    CJobRunner& m_dialogJobs;
    int m_menuItem = -1; // the item whose context menu runs a command, -1 when none
    CFavoriteItemList* m_itemList = nullptr;
    QHash<int, QTreeWidgetItem*> m_items;
    int m_lastBox = -1; // the box 加入收藏 chose last in this run
    bool m_updating = false;
};
