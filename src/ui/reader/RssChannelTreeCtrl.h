#pragma once

#include <QHash>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <string>

class CCommandTable;
class CJobRunner;
class CRssReader;
class QMenu;
struct BranchRequest;
struct ChannelRecord;
struct ChannelReceiveResult;

// Paints a channel's title followed by its unread count "[%d]" in the accent colour.
class CChannelItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The channel tree of the feed reader: directories and channels of the channel file, with their
// unread counts and receive state, the context commands on them, in-place renaming and moving by
// drag and drop onto a directory. The logic is CChannelTree; this window shows it. Its commands
// are registered in the window's command table, which the main window's menus and the tree's
// context menus share: a command applies to the item its context menu was opened on, and,
// chosen from the main window, to the current item.
class CRssChannelTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kIndexRole = Qt::UserRole + 1;
    static constexpr int kUnreadRole = Qt::UserRole + 2;

    // dialogJobs: where the e-book dialog makes its book; it must outlive the tree.
    CRssChannelTreeCtrl(CRssReader& reader, CCommandTable& commands, CJobRunner& dialogJobs,
                        QWidget* parent = nullptr);

    // Fills the tree from the logic (after it was built).
    void Fill();
    CRssReader& Reader() { return m_reader; }

    // The record index of an item, -1 for none; the item of a record index.
    int IndexOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOf(int index) const;
    int CurrentIndex() const;
    void SelectIndex(int index);

    // The label the tree shows: the title, and "[%d]" after it when the count is not zero.
    static QString LabelText(const std::string& title, int unreadCount);
    QString LabelOf(int index) const;
    // The tooltip: a directory's title; a channel's address, and why its last receive failed.
    static QString ToolTipOf(const ChannelRecord& record);
    // Takes title, count and image of the record again.
    void RefreshItem(int index);
    void RefreshAll();

    // Runs a command as the item's context menu does (-1: the menu of the empty space); false
    // when the table has no handler for it.
    bool RunFor(int commandId, int index);
    // Opens the subscription dialog filled from a start address ("quill://rssurl=...").
    void AddSubscriptionFromAddress(const std::string& address);
    // Opens the subscription dialog; parent is the directory to add to, or -1.
    void AddSubscription(int parent, const QString& url = {}, const QString& title = {});
    void NewDirectory(int parent);
    void DeleteItem(int index);
    void ClearItem(int index);
    void MarkRead(int index);
    void MoveUp(int index);
    void MoveToTop(int index);
    // Moves the item to the end of a directory (what a drop does); false when refused.
    bool MoveInto(int index, int directory);
    void ShowProperties(int index);
    void StartRename(int index);

    // The commands a context menu offers for the item (-1: empty space), in order; 0 stands
    // for a separator.
    static std::vector<int> ContextCommands(bool directory, bool onItem);
    // The context menu of the item (-1: empty space), with the table's texts; the caller owns
    // it. Its commands apply to the item while the menu runs (see RunFor).
    QMenu* BuildContextMenu(int index, QWidget* parent);

signals:
    // A channel or a directory was selected.
    void ChannelSelected(int index);
    // What the list shows must be read again (after delete, clear, mark read).
    void ListRefreshNeeded();
    // The channel or directory was removed; if the list showed it, it must forget it.
    void ItemRemoved(int index);
    void OpenInPane(const QString& address);
    // A command that adds to the tree or receives every channel ran: the channels' side is to
    // come forward (chosen from the main window, it may not be shown).
    void SideWanted();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidgetItem* MakeItem(int index);
    void AddChildren(QTreeWidgetItem* parent, const std::vector<int>& children);
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void SetItemIcon(QTreeWidgetItem* item, const ChannelRecord& record);
    void RegisterCommands();
    // The item a command applies to: the one the running context menu was opened on, else the
    // current one.
    int Target() const;
    // Where a new channel or directory goes: into the directory the menu was opened on; from
    // the empty space or the main window, to the top level.
    int NewParent() const;
    void OpenSite(int index, bool outside);
    // The channel as asked by hand; a directory's channels as a walk takes them.
    void ReceiveItem(int index);
    void ReceiveBranch(int index, const BranchRequest& request);
    // Shows a channel's outcome; a failed receive the user asked for opens the error dialog.
    void OnChannelDone(const ChannelReceiveResult& result);

    CRssReader& m_reader;
    CCommandTable& m_commands;
    CJobRunner& m_dialogJobs;
    int m_menuItem = -1; // the item whose context menu runs a command, -1 when none
    QHash<int, QTreeWidgetItem*> m_items;
    bool m_updating = false;
};
