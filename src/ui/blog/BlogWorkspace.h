#pragma once

#include "storage/ArticleDatabase.h"
#include "storage/FeedItem.h"
#include "workspace/ArticleObserver.h"
#include "workspace/ArticleOperations.h"
#include "workspace/EditorLauncher.h"
#include "workspace/LocalLoginLock.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

class CAccountTreeCtrl;
class CArticleEvents;
class CBlogArticlesView;
class CCommandTable;
class CJobRunner;
class CPublishSeveralDialog;
class CTransferProgress;
class QMenu;
class QWidget;

// The 博客 side of the main window: the account tree and the article list, the weblog
// commands of the command table, the progress windows of running operations and what their
// results change. The work itself is CArticleOperations'; this class asks, starts and shows.
class CBlogWorkspace : public QObject {
    Q_OBJECT
public:
    // context: the program directory and its accounts; store: the interface thread's blog.db
    // (backups and e-books read it; the operations open their own connections to the same
    // file); dialogJobs: where the e-book dialog makes its book (it must outlive the window);
    // window: the parent of the dialogs.
    CBlogWorkspace(const CAppContext& context, CArticleDatabase& store, CCommandTable& commands,
                   CJobRunner& dialogJobs, QWidget* window);
    ~CBlogWorkspace() override;

    CAccountTreeCtrl* Tree() const { return m_tree; }
    CBlogArticlesView* View() const { return m_view; }
    CArticleOperations& Operations() { return *m_operations; }
    CArticleEvents& Events() { return *m_events; }
    CLocalLoginLock& LoginLock() { return m_loginLock; }
    // The publish-to-several dialog last opened, while it is open.
    CPublishSeveralDialog* PublishDialog() const;
    // The progress window of a running operation.
    CTransferProgress* ProgressOf(int operationId) const;

    // Fills the tree (once, when the window is built).
    void Build();
    // The post counts of the fetch drop-down, with the check on the account's stored count.
    void FillCountMenu(QMenu* menu);
    void UpdateCountChecks();
    // WM_ACCOUNT_TREE_UPDATE.
    void OnTreeUpdate(int code, int updateCode);
    // The list's commands on the selected rows.
    void OnListCommand(int commandId);
    // Stops the running operations and waits for them, then keeps the tree's expanded state.
    void Shutdown();
    // The reading pane shows something else now (the other sides' content): no article of
    // this side is previewed any more.
    void ForgetPreview();
    // The article the reading pane previews, 0 when none.
    int PreviewedId() const { return m_previewed.id; }
    // Looks whether another program or connection changed blog.db since the last look, and
    // when so brings the counts, the list and the preview up to date (a timer calls it).
    void FollowStore();

    // The editor program that 撰写日志, 编辑 and 发布到博客 start: quillmark-editor beside this
    // program unless set (tests).
    void SetEditorProgram(const std::string& path) { m_editor = CEditorLauncher(m_context, path); }
    const std::string& EditorProgram() const { return m_editor.EditorPath(); }
    // 撰写日志: a new article for the tree's current account, after its login check.
    void Compose();
    // 编辑 or a double-click: the article of the list's folder in the editor.
    void EditArticle(int id);
    // 发布到博客 on a feed item (a stored one or an on-line search result): an article about it,
    // for the account the user chooses when there are several, after that account's login check.
    void WriteFromFeedItem(const FeedItemRef& item);

    // Texts the weblog side asks and says.
    static QString DeleteOnServerQuestion(int rows);
    // 自定义的数量 asks for the count with this label.
    static constexpr const char* kCustomCountLabel = "每次获取的日志数量 (1 - 999):";

signals:
    // WM_BLOG_RESULT: 0 fetched, 1 deleted on the server, 2 published.
    void BlogResult(int kind);
    void OpenInPane(const QString& address);
    void PreviewArticle(const ArticleRecord& article, const std::string& account);
    void ClearPane();

private:
    void RegisterCommands(CCommandTable& commands);
    bool CheckCurrentAccount();
    void Fetch(int count);
    void SetPostCount(int count);
    // 自定义的数量: asks for the count until it is one of 1 to 999, stores it and fetches.
    void FetchCustomCount();
    void Publish(const std::vector<int>& ids);
    void DeleteOnServer(const std::vector<int>& ids);
    enum class Transfer { kCopy, kMove };
    void CopyOrMove(Transfer transfer, const std::vector<int>& ids);
    void DeleteLocal(const std::vector<int>& ids);
    void PublishToSeveral(int id);
    void CompactStore();
    void ImportToDrafts();
    void ShowArticle(int id);
    // The list of the folder shown read again, and the preview after it: cleared when its
    // article left the folder, shown again when the article changed.
    void ReloadShown();
    void ClearPreview();
    // Writes the hand-off and starts the editor; a failure is shown with its reason.
    void RunEditor(const EditorOrder& order, const std::vector<std::string>& accounts);
    // The account names in tree order, which the node codes follow.
    std::vector<std::string> TreeAccountNames() const;
    // The progress window of an operation just started (or the refusal shown).
    bool Started(const OperationStart& start, const QString& firstStep);
    void OnFolderChanged(const FolderRef& folder);
    void OnOperationDone(const OperationResult& result);

    CAppContext m_context;
    QWidget* m_window = nullptr;
    CArticleDatabase& m_store;
    CCommandTable& m_commands;
    CJobRunner& m_dialogJobs;
    CArticleEvents* m_events = nullptr;
    CLocalLoginLock m_loginLock;
    std::unique_ptr<CArticleOperations> m_operations;
    CAccountTreeCtrl* m_tree = nullptr;
    CBlogArticlesView* m_view = nullptr;
    QHash<int, QPointer<CTransferProgress>> m_progress;
    QPointer<CPublishSeveralDialog> m_publishDialog;
    CEditorLauncher m_editor;
    ArticleRecord m_previewed; // id 0: the pane previews no article of this side
    int64_t m_storeVersion = 0;
    bool m_shutDown = false;
};
