#pragma once

#include "app/AccountStore.h"

#include <QColor>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <string>
#include <vector>

class CArticleOperations;
struct FolderCounts;
class CCommandTable;
class CAppContext;
class CLocalLoginLock;
class QMenu;

// Paints a node's label in its colour and, when its folder holds articles, "[%d]" after it.
class CAccountItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The 博客 side's tree: each account with its four article folders (已收日志, 已发日志, 草稿箱,
// 垃圾箱) and 我的博客, the link to its weblog. Every item carries its node code,
// 1000 + 100 × account index + 10 × kind, from which account and kind are read back.
// An account with a local login check asks for its password once per run of the program.
class CAccountTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kCodeRole = Qt::UserRole + 1;
    static constexpr int kCountRole = Qt::UserRole + 2;
    enum NodeKind : int {
        kNodeAccount = 0,
        kNodeReceived = 1,
        kNodeSent = 2,
        kNodeDrafts = 3,
        kNodeTrash = 4,
        kNodeMyBlog = 5
    };
    // Update codes of WM_ACCOUNT_TREE_UPDATE; any other code recounts the folder node.
    static constexpr int kUpdateAccountAdded = 99997;
    static constexpr int kUpdateDescription = 99998;
    static constexpr int kUpdateAccountDeleted = 99999;
    static constexpr int kUpdateRecount = 0;
    // Where 我的博客 goes when the account names no weblog address.
    static constexpr const char* kDefaultBlogAddress = "https://quillmark.org/";

    // The accounts are those of the operations' context.
    CAccountTreeCtrl(CArticleOperations& operations, CLocalLoginLock& loginLock,
                     CCommandTable* commands, QWidget* parent = nullptr);
    // The program directory whose accounts the tree shows.
    const CAppContext& Context() const;

    static int NodeCode(int accountIndex, int kind) {
        return 1000 + 100 * accountIndex + 10 * kind;
    }
    static int AccountIndexOf(int code) { return code / 100 - 10; }
    static int KindOf(int code) { return code % 100 / 10; }
    // 已收日志, 已发日志, 草稿箱, 垃圾箱, 我的博客 by kind ("" for the account node).
    static QString KindLabel(int kind);
    static QColor KindColor(int kind);
    // The address 我的博客 opens: the account's own, or the default one when it is empty or
    // only "http://".
    static QString BlogAddress(const std::string& blogurl);

    // Clears and fills the tree from the account file, with the folders' counts.
    void BuildTree();
    const std::vector<AccountRecord>& Accounts() const { return m_accounts; }
    QTreeWidgetItem* ItemOfCode(int code) const;
    int CodeOf(const QTreeWidgetItem* item) const;
    int CountOf(int code) const;
    // The node code of an account's folder, -1 when the account is not in the tree.
    int FolderCode(const std::string& account, int folder) const;

    const std::string& CurrentAccount() const { return m_currentAccount; }
    int CurrentKind() const { return m_currentKind; }

    // What a click does: the local login check, then the node is shown.
    void ClickItem(QTreeWidgetItem* item);
    // The local login check of an account: asks once per run; false when it failed.
    bool LocalLoginCheck(const std::string& account);
    // Kinds 1-4 show the folder in the article list, kind 5 the weblog in the browser pane.
    void ShowNode(int kind);
    // WM_ACCOUNT_TREE_UPDATE: a node code (or -1) and an update code.
    void UpdateNode(int code, int updateCode);
    // Recounts the folder of an account (after an operation changed it).
    void RecountFolder(const std::string& account, int folder);
    // Recounts every folder of every account (another program changed the store).
    void RecountAll();

    // The context menu of a node kind, its commands with the texts the menus show.
    static std::vector<int> ContextCommands(int kind);
    static QString ContextText(int commandId, int kind);
    // Builds the menu of the node under the caret (as a right-click does, without showing it).
    // Its entries run through the command table.
    QMenu* BuildContextMenu(QTreeWidgetItem* item, QWidget* parent);
    // Runs a command of the tree's menus through the table, on the current node.
    void OnCommand(int commandId);
    // Empties the current folder after the confirmation.
    void ClearFolder();
    // Writes every account node's expanded state back to the account file.
    void SaveExpanded();

signals:
    // Another node was chosen: the commands that need an account may have changed.
    void CurrentAccountChanged();
    void FolderSelected(const QString& account, int folder);
    void OpenInPane(const QString& address);
    // The folder shown is gone or emptied: the list shows nothing.
    void ListClearRequested();
    void AccountRemoved();
    // 制作CHM电子书 on a folder.
    void EbookRequested(const QString& account, int folder);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The tree's own commands (clearing a folder, its e-book, the weblog in the browser), one
    // line each in the window's table.
    void RegisterCommands();
    // The current account, after its local login check: every command of a folder reads or
    // changes what the login protects.
    bool CheckCurrentAccount();
    void AddAccountNodes(int index, const AccountRecord& account);
    // False when the node was not shown (no account there, or its login check failed).
    bool SelectNode(QTreeWidgetItem* item, bool check);
    void Recount(QTreeWidgetItem* item);
    void ShowCount(QTreeWidgetItem* item, const FolderCounts& counts, const std::string& reason);

    CArticleOperations& m_operations;
    CLocalLoginLock& m_loginLock;
    CCommandTable* m_commands = nullptr;
    std::vector<AccountRecord> m_accounts;
    std::string m_currentAccount;
    int m_currentKind = kNodeAccount;
};
