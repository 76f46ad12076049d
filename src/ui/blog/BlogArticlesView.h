#pragma once

#include "storage/ArticleDatabase.h"
#include "workspace/ArticleOperations.h"

#include <QStyledItemDelegate>
#include <QWidget>
#include <ctime>
#include <string>
#include <vector>

class CCommandTable;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

// Draws an article's title with its preview line below it in grey.
class CArticleTitleDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The weblog side of the reading area's list: the articles of one folder of one account, in
// date groups (将来, 今天, 一周内, 最近), each row with its cleaned title, date, author and a
// preview line. Its context menu depends on the folder and on how many rows are selected; the
// commands go to whoever does the work (CBlogWorkspace).
class CBlogArticlesView : public QWidget {
    Q_OBJECT
public:
    enum Column : int {
        kColPriority = 0,
        kColIcon = 1,
        kColAttachment = 2,
        kColTitle = 3,
        kColDate = 4,
        kColAuthor = 5,
        kColId = 6
    };
    static constexpr int kPreviewRole = Qt::UserRole + 10;

    // One entry of a context menu as the folder and the selection make it.
    struct MenuEntry {
        int id = 0; // 0: a separator
        QString text;
        bool enabled = true;
    };

    CBlogArticlesView(CArticleOperations& operations, CCommandTable* commands,
                      QWidget* parent = nullptr);

    // Shows the folder of the account from the top (store order, at most 9999 articles).
    void ShowFolder(const std::string& account, int folder);
    // Reads the folder shown again, keeping the selection where the rows are still there.
    void Reload();
    void Clear();
    const std::string& Account() const { return m_account; }
    int Folder() const { return m_folder; }
    // The account's style of the preview (its logxsl).
    const std::string& PreviewStyle() const { return m_style; }
    bool Shows(const std::string& account, int folder) const {
        return m_account == account && m_folder == folder;
    }

    // The ids of the selected rows, in the order they were selected.
    std::vector<int> SelectedIds() const;
    void SelectIds(const std::vector<int>& ids);
    QTreeWidget* List() const { return m_list; }
    // The group captions in order and the number of rows.
    QStringList GroupCaptions() const;
    int RowCount() const;
    QTreeWidgetItem* RowOf(int id) const;

    // The menu of the selection for a folder, by what may be done there (FolderActions).
    static std::vector<MenuEntry> MenuEntries(ArticleFolder folder, int selected,
                                              const CCommandTable* commands);
    // Where a context menu was asked for: on a row, or on the header or a group.
    enum class MenuPlace { kRows, kGroups };
    // The menu of the rows selected now; the header and group area get 闭合/展开所有分组.
    QMenu* BuildContextMenu(MenuPlace place, QWidget* parent);
    // The time the date groups are measured from (tests fix it; 0: the clock).
    void SetNow(std::time_t now) { m_now = now; }

signals:
    // A row became current: its article is previewed.
    void ArticleSelected(int id);
    // Double-click on a row.
    void ArticleActivated(int id);
    void CommandChosen(int commandId);

private:
    // The folder's articles; a store that cannot be read shows its reason in the list.
    std::vector<ArticleRecord> ReadFolder();
    void Fill(const std::vector<ArticleRecord>& articles, const std::vector<int>& keep);
    void ShowContextMenu(const QPoint& pos);
    void SetGroupsExpanded(bool expanded);

    CArticleOperations& m_operations;
    QString m_failure;
    CCommandTable* m_commands = nullptr;
    QTreeWidget* m_list = nullptr;
    std::string m_account;
    int m_folder = 0;
    std::string m_style;
    std::vector<int> m_selectionOrder;
    std::time_t m_now = 0;
    bool m_filling = false;
};
