#include "ui/blog/BlogWorkspace.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "ui/app/CommandTable.h"
#include "ui/blog/AccountChooserDialog.h"
#include "ui/blog/AccountTreeCtrl.h"
#include "ui/blog/ArticleEvents.h"
#include "ui/blog/BlogArticlesView.h"
#include "ui/blog/FolderPickerDialog.h"
#include "ui/blog/PublishSeveralDialog.h"
#include "ui/blog/TransferProgress.h"
#include "ui/common/CommandIds.h"
#include "ui/common/InputBox.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/export/BackupActions.h"
#include "ui/export/EbookDialog.h"
#include "workspace/AccountSetup.h"
#include "workspace/FolderActions.h"
#include "workspace/ReasonRecorder.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QWidget>

namespace {

// The post counts of the fetch drop-down.
constexpr std::pair<int, int> kCounts[] = {{kCmdPostCount1, 1},   {kCmdPostCount3, 3},
                                           {kCmdPostCount5, 5},   {kCmdPostCount10, 10},
                                           {kCmdPostCount20, 20}, {kCmdPostCount999, 999}};

QString OperationName(ArticleOperationKind kind) {
    switch (kind) {
    case ArticleOperationKind::kFetch:
        return QStringLiteral("获取日志失败");
    case ArticleOperationKind::kDeleteOnServer:
        return QStringLiteral("从服务器删除失败");
    default:
        return QStringLiteral("发布失败");
    }
}

} // namespace

CBlogWorkspace::CBlogWorkspace(const CAppContext& context, CArticleDatabase& store,
                               CCommandTable& commands, CJobRunner& dialogJobs, QWidget* window)
    : QObject(window), m_context(context), m_window(window), m_store(store), m_commands(commands),
      m_dialogJobs(dialogJobs), m_loginLock(context),
      m_editor(context, CEditorLauncher::EditorBeside(GetExecutableDir())) {
    m_events = new CArticleEvents(this);
    m_operations = std::make_unique<CArticleOperations>(context, *m_events, store.GetPath());
    m_tree = new CAccountTreeCtrl(*m_operations, m_loginLock, &commands);
    m_view = new CBlogArticlesView(*m_operations, &commands);

    connect(m_tree, &CAccountTreeCtrl::FolderSelected, this,
            [this](const QString& account, int folder) {
                m_view->ShowFolder(ToStd(account), folder);
                m_commands.Refresh();
            });
    connect(m_tree, &CAccountTreeCtrl::CurrentAccountChanged, this, [this] {
        // The list never shows a folder of an account other than the one the tree marks.
        if (!m_view->Account().empty() && m_view->Account() != m_tree->CurrentAccount()) {
            m_view->Clear();
            ClearPreview();
        }
        m_commands.Refresh();
    });
    connect(m_tree, &CAccountTreeCtrl::OpenInPane, this, [this](const QString& address) {
        m_previewed = ArticleRecord{};
        emit OpenInPane(address);
    });
    connect(m_tree, &CAccountTreeCtrl::ListClearRequested, this, [this] {
        m_view->Clear();
        ClearPreview();
    });
    connect(m_tree, &CAccountTreeCtrl::EbookRequested, this,
            [this](const QString& account, int folder) {
                CEbookDialog::OpenForFolder(m_window, m_dialogJobs, m_context, m_store,
                                            ToStd(account), folder);
            });
    connect(m_view, &CBlogArticlesView::CommandChosen, this, &CBlogWorkspace::OnListCommand);
    connect(m_view, &CBlogArticlesView::ArticleSelected, this, &CBlogWorkspace::ShowArticle);
    // Selecting a row previews it; a double-click opens it in the editor.
    connect(m_view, &CBlogArticlesView::ArticleActivated, this, &CBlogWorkspace::EditArticle);

    connect(m_events, &CArticleEvents::Progress, this, [this](const OperationProgress& progress) {
        if (CTransferProgress* window = m_progress.value(progress.operationId))
            window->SetStep(ToQ(progress.text));
    });
    connect(m_events, &CArticleEvents::FolderChanged, this,
            [this](int, const FolderRef& folder) { OnFolderChanged(folder); });
    connect(m_events, &CArticleEvents::OperationDone, this, &CBlogWorkspace::OnOperationDone);
    RegisterCommands(commands);

    // The editor and quillmark-cli write to blog.db too: what they change shows here within a
    // moment, whether or not they could tell this window.
    m_store.GetDataVersion(m_storeVersion);
    auto* watch = new QTimer(this);
    watch->setInterval(1500);
    connect(watch, &QTimer::timeout, this, &CBlogWorkspace::FollowStore);
    watch->start();
}

CBlogWorkspace::~CBlogWorkspace() {
    // The workers end before the observer they report to.
    m_operations->CancelAll();
    m_operations->Wait();
}

CPublishSeveralDialog* CBlogWorkspace::PublishDialog() const {
    return m_publishDialog;
}

CTransferProgress* CBlogWorkspace::ProgressOf(int operationId) const {
    return m_progress.value(operationId);
}

void CBlogWorkspace::Build() {
    m_tree->BuildTree();
    m_commands.Refresh();
}

void CBlogWorkspace::RegisterCommands(CCommandTable& c) {
    c.Handle(kCmdFetchPosts, [this] { Fetch(0); });
    // The count is stored only for an account that passed its login check.
    for (const auto& [id, count] : kCounts)
        c.Handle(id, [this, count = count] {
            if (!CheckCurrentAccount())
                return;
            SetPostCount(count);
            Fetch(0);
        });
    c.Handle(kCmdPostCountCustom, [this] { FetchCustomCount(); });
    const auto needsAccount = [this] {
        return m_tree->CurrentAccount().empty() ? QStringLiteral("请先在左侧选择一个账户")
                                                : QString();
    };
    c.SetAvailability(kCmdFetchPosts, needsAccount);
    for (const auto& [id, count] : kCounts)
        c.SetAvailability(id, needsAccount);
    c.SetAvailability(kCmdPostCountCustom, needsAccount);
    c.Handle(kCmdCompactBlogDb, [this] { CompactStore(); });
    // The tree's folder menus: the folder to a backup file, a backup file into 草稿箱.
    c.Handle(kCmdExportFolder, [this] {
        if (CheckCurrentAccount())
            CBackupActions::ExportFolder(m_window, m_store, m_tree->CurrentAccount(),
                                         m_tree->CurrentKind());
    });
    // The folder menu's 导入日志 and the toolbar's: after the account's login check.
    c.Handle(kCmdImportFolder, [this] {
        if (CheckCurrentAccount())
            ImportToDrafts();
    });
    c.Handle(kCmdImportPosts, [this] {
        if (CheckCurrentAccount())
            ImportToDrafts();
    });
    c.SetAvailability(kCmdImportPosts, needsAccount);
    c.Handle(kCmdComposePost, [this] { Compose(); });
    c.SetAvailability(kCmdComposePost, needsAccount);
    c.Handle(kCmdEditArticle, [this] {
        const std::vector<int> ids = m_view->SelectedIds();
        if (ids.size() == 1)
            EditArticle(ids.front());
    });
}

void CBlogWorkspace::FillCountMenu(QMenu* menu) {
    for (const auto& [id, count] : kCounts)
        menu->addAction(m_commands.Action(id));
    menu->addSeparator();
    menu->addAction(m_commands.Action(kCmdPostCountCustom));
    connect(menu, &QMenu::aboutToShow, this, &CBlogWorkspace::UpdateCountChecks);
}

void CBlogWorkspace::UpdateCountChecks() {
    m_commands.Refresh();
    std::string stored;
    const bool known =
        !m_tree->CurrentAccount().empty() &&
        m_context.Accounts().GetAccountField(m_tree->CurrentAccount(), "getrecentpostsnum", stored);
    const int count = known ? QString::fromStdString(stored).trimmed().toInt() : -1;
    bool listed = false;
    for (const auto& [id, value] : kCounts) {
        m_commands.Action(id)->setChecked(known && value == count);
        listed = listed || value == count;
    }
    m_commands.Action(kCmdPostCountCustom)->setChecked(known && !listed);
}

bool CBlogWorkspace::CheckCurrentAccount() {
    return !m_tree->CurrentAccount().empty() && m_tree->LocalLoginCheck(m_tree->CurrentAccount());
}

void CBlogWorkspace::SetPostCount(int count) {
    if (m_tree->CurrentAccount().empty())
        return;
    m_context.Accounts().SetAccountField(m_tree->CurrentAccount(), "getrecentpostsnum",
                                         std::to_string(count));
    UpdateCountChecks();
}

void CBlogWorkspace::FetchCustomCount() {
    if (!CheckCurrentAccount())
        return;
    const std::string account = m_tree->CurrentAccount();
    std::string stored;
    m_context.Accounts().GetAccountField(account, "getrecentpostsnum", stored);
    QString text = QString::fromStdString(stored).trimmed();
    CAccountSetup setup(m_context);
    for (;;) {
        const std::optional<QString> typed = CInputBox::Ask(
            m_window, QStringLiteral("自定义的数量"), QString::fromUtf8(kCustomCountLabel), text);
        if (!typed)
            return;
        text = typed->trimmed();
        // Text that is no number is out of range as well.
        bool number = false;
        const int count = text.toInt(&number);
        const SetupCheck check = setup.SetRecentPostsCount(account, number ? count : 0);
        if (check.Ok())
            break;
        CMessageBox::Show(m_window, ToQ(check.message));
    }
    UpdateCountChecks();
    Fetch(0);
}

bool CBlogWorkspace::Started(const OperationStart& start, const QString& firstStep) {
    if (!start.Started()) {
        CMessageBox::Show(m_window, ToQ(start.refusal));
        return false;
    }
    auto* progress = new CTransferProgress(m_window);
    progress->SetStep(firstStep);
    progress->show();
    m_progress.insert(start.id, progress);
    return true;
}

void CBlogWorkspace::Fetch(int count) {
    if (!CheckCurrentAccount())
        return;
    Started(m_operations->StartFetch({.account = m_tree->CurrentAccount(), .count = count}),
            QStringLiteral("正在获取文章..."));
}

void CBlogWorkspace::OnTreeUpdate(int code, int updateCode) {
    m_tree->UpdateNode(code, updateCode);
    // A folder recounted for another program (the editor saved or published into it): the
    // list follows when it shows that folder.
    const int index = CAccountTreeCtrl::AccountIndexOf(code);
    const int kind = CAccountTreeCtrl::KindOf(code);
    if (updateCode != CAccountTreeCtrl::kUpdateRecount || index < 0 ||
        index >= static_cast<int>(m_tree->Accounts().size()) ||
        kind < CAccountTreeCtrl::kNodeReceived || kind > CAccountTreeCtrl::kNodeTrash)
        return;
    if (m_view->Shows(m_tree->Accounts()[index].name, kind))
        ReloadShown();
}

void CBlogWorkspace::OnListCommand(int commandId) {
    const std::vector<int> ids = m_view->SelectedIds();
    if (ids.empty())
        return;
    const FolderActions actions = FolderActionsOf(ArticleFolderOf(m_view->Folder()));
    switch (commandId) {
    case kCmdPublishOrDeleteRemote:
        if (actions.deleteOnServer)
            DeleteOnServer(ids);
        else if (actions.publish)
            Publish(ids);
        break;
    case kCmdCopyArticles:
    case kCmdMoveArticles:
        CopyOrMove(commandId == kCmdMoveArticles ? Transfer::kMove : Transfer::kCopy, ids);
        break;
    case kCmdDeleteArticle:
    case kCmdDeleteArticles:
        DeleteLocal(ids);
        break;
    case kCmdPublishToSeveral:
        PublishToSeveral(ids.front());
        break;
    case kCmdEditArticle:
        EditArticle(ids.front());
        break;
    case kCmdExportFolder:
        // From the list: the selected articles, in the order they were selected.
        CBackupActions::ExportArticles(m_window, m_store, ids);
        break;
    default:
        m_commands.Run(commandId);
        break;
    }
}

void CBlogWorkspace::Publish(const std::vector<int>& ids) {
    Started(m_operations->StartPublish(ids), ids.size() > 1 ? QStringLiteral("正在发布第 1 篇日志")
                                                            : QStringLiteral("发布新文章..."));
}

QString CBlogWorkspace::DeleteOnServerQuestion(int rows) {
    return rows > 1 ? QStringLiteral("注意：您要删除的是服务器上的内容!\n确定要删除这些日志吗?")
                    : QStringLiteral("注意：您要删除的是服务器上的内容!\n确定要删除这篇日志吗?");
}

void CBlogWorkspace::DeleteOnServer(const std::vector<int>& ids) {
    if (!CMessageBox::Ask(m_window, DeleteOnServerQuestion(static_cast<int>(ids.size())),
                          QStringLiteral("删除确认")))
        return;
    Started(m_operations->StartDeleteOnServer(ids),
            ids.size() > 1 ? QStringLiteral("正在删除...") : QStringLiteral("正在删除文章..."));
}

void CBlogWorkspace::CopyOrMove(Transfer transfer, const std::vector<int>& ids) {
    const bool move = transfer == Transfer::kMove;
    const auto counter = [this](const std::string& account, int folder) {
        FolderCounts counts;
        std::string reason;
        return m_operations->CountFolders(account, counts, reason) ? counts.Of(folder) : 0;
    };
    const std::optional<FolderRef> target = CFolderPickerDialog::Pick(
        m_tree->Accounts(), counter, {.account = m_view->Account(), .folder = m_view->Folder()},
        m_window);
    if (!target)
        return;
    const LocalOutcome outcome =
        move ? m_operations->Move(ids, *target) : m_operations->Copy(ids, *target);
    for (const FolderRef& folder : outcome.changedFolders)
        m_tree->RecountFolder(folder.account, folder.folder);
    m_tree->RecountFolder(target->account, target->folder);
    ReloadShown();
    if (!outcome.ok)
        CMessageBox::Show(m_window,
                          (move ? QStringLiteral("转移失败: ") : QStringLiteral("复制失败: ")) +
                              ToQ(outcome.reason));
}

void CBlogWorkspace::DeleteLocal(const std::vector<int>& ids) {
    const LocalOutcome outcome = m_operations->DeleteLocal(ids);
    for (const FolderRef& folder : outcome.changedFolders)
        m_tree->RecountFolder(folder.account, folder.folder);
    m_tree->RecountFolder(m_view->Account(), m_view->Folder());
    m_tree->RecountFolder(m_view->Account(), kFolderTrash);
    ReloadShown();
    if (!outcome.ok)
        CMessageBox::Show(m_window, QStringLiteral("删除失败: ") + ToQ(outcome.reason));
}

void CBlogWorkspace::PublishToSeveral(int id) {
    if (m_publishDialog)
        m_publishDialog->close();
    auto* dialog = new CPublishSeveralDialog(*m_operations, *m_events, m_loginLock, id,
                                             m_view->Account(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_publishDialog = dialog;
    dialog->show();
}

void CBlogWorkspace::ImportToDrafts() {
    const std::string account = m_tree->CurrentAccount();
    if (account.empty() || CBackupActions::ImportToDrafts(m_window, m_store, account) == 0)
        return;
    m_tree->RecountFolder(account, kFolderDrafts);
    if (m_view->Shows(account, kFolderDrafts))
        ReloadShown();
}

void CBlogWorkspace::CompactStore() {
    if (!CMessageBox::Ask(m_window,
                          QStringLiteral("重新整理数据库空间将需要一些时间(可能几分钟)\n"
                                         "整理后数据库文件将变小!\n现在整理吗?"),
                          QStringLiteral("整理确认")))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const LocalOutcome outcome = m_operations->Compact();
    QApplication::restoreOverrideCursor();
    CMessageBox::Show(m_window, outcome.ok ? QStringLiteral("整理完成!")
                                           : QStringLiteral("请暂停进行的其它数据库操作!\n") +
                                                 ToQ(outcome.reason));
}

void CBlogWorkspace::ShowArticle(int id) {
    ArticleRecord article;
    ArticlePlace place;
    std::string reason;
    if (!m_operations->GetArticle(id, article, place, reason)) {
        CMessageBox::Show(m_window, QStringLiteral("无法读取文章: ") + ToQ(reason));
        return;
    }
    m_previewed = article;
    emit PreviewArticle(article, place.account);
}

void CBlogWorkspace::OnFolderChanged(const FolderRef& folder) {
    m_tree->RecountFolder(folder.account, folder.folder);
    if (m_view->Shows(folder.account, folder.folder))
        ReloadShown();
}

void CBlogWorkspace::ReloadShown() {
    m_view->Reload();
    if (m_previewed.id == 0)
        return;
    ArticleRecord article;
    ArticlePlace place;
    std::string reason;
    // Moved, deleted or emptied away: the pane no longer shows what the list has lost.
    if (!m_view->RowOf(m_previewed.id) ||
        !m_operations->GetArticle(m_previewed.id, article, place, reason)) {
        ClearPreview();
        return;
    }
    if (article.title != m_previewed.title || article.content != m_previewed.content ||
        article.pubDate != m_previewed.pubDate || article.category != m_previewed.category ||
        article.tags != m_previewed.tags) {
        m_previewed = article;
        emit PreviewArticle(article, place.account);
    }
}

void CBlogWorkspace::ClearPreview() {
    m_previewed = ArticleRecord{};
    emit ClearPane();
}

void CBlogWorkspace::ForgetPreview() {
    m_previewed = ArticleRecord{};
}

void CBlogWorkspace::FollowStore() {
    int64_t version = 0;
    if (m_shutDown || !m_store.GetDataVersion(version) || version == m_storeVersion)
        return;
    m_storeVersion = version;
    m_tree->RecountAll();
    if (!m_view->Account().empty())
        ReloadShown();
}

void CBlogWorkspace::OnOperationDone(const OperationResult& result) {
    if (QPointer<CTransferProgress> progress = m_progress.take(result.operationId))
        progress->close();
    for (const FolderRef& folder : result.changedFolders)
        OnFolderChanged(folder);
    // Publishing to several accounts shows its results in its own rows.
    if (result.kind == ArticleOperationKind::kPublishToAccounts)
        return;
    const bool anyDone =
        result.Ok() || std::any_of(result.articles.begin(), result.articles.end(),
                                   [](const ArticleResult& article) {
                                       return article.outcome == OperationOutcome::kDone;
                                   });
    if (anyDone) {
        switch (result.kind) {
        case ArticleOperationKind::kFetch:
            emit BlogResult(kBlogResultFetched);
            break;
        case ArticleOperationKind::kDeleteOnServer:
            emit BlogResult(kBlogResultDeleted);
            break;
        default:
            emit BlogResult(kBlogResultPublished);
            break;
        }
    }
    if (result.outcome == OperationOutcome::kFailed && !m_shutDown)
        CMessageBox::Show(m_window,
                          OperationName(result.kind) + QStringLiteral(": ") + ToQ(result.reason));
}

void CBlogWorkspace::Shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_operations->CancelAll();
    m_operations->Wait();
    m_tree->SaveExpanded();
}

void CBlogWorkspace::RunEditor(const EditorOrder& order, const std::vector<std::string>& accounts) {
    const HandOffResult result = m_editor.Launch(order, accounts);
    if (!result.ok)
        CMessageBox::Show(m_window, ToQ(result.reason));
}

std::vector<std::string> CBlogWorkspace::TreeAccountNames() const {
    std::vector<std::string> names;
    for (const AccountRecord& account : m_tree->Accounts())
        names.push_back(account.name);
    return names;
}

void CBlogWorkspace::Compose() {
    if (!CheckCurrentAccount())
        return;
    RunEditor(
        {.task = EditorTask::Compose, .account = m_tree->CurrentAccount(), .index = std::nullopt},
        TreeAccountNames());
}

void CBlogWorkspace::EditArticle(int id) {
    const std::optional<EditorTask> task = CEditorLauncher::EditTaskOf(m_view->Folder());
    if (!task) {
        CMessageBox::Show(m_window, QStringLiteral("只能编辑四个文件夹中的文章"));
        return;
    }
    RunEditor({.task = *task, .account = m_view->Account(), .index = id}, TreeAccountNames());
}

void CBlogWorkspace::WriteFromFeedItem(const FeedItemRef& item) {
    std::vector<AccountRecord> records;
    {
        CReasonRecorder recorder;
        CScopedReporter scope(recorder);
        if (!m_context.Accounts().ListAccounts(records)) {
            const std::string details = recorder.Take();
            CMessageBox::Show(
                m_window, QString::fromUtf8(CEditorLauncher::kAccountsUnreadableText) +
                              (details.empty() ? QString() : QStringLiteral("\n") + ToQ(details)));
            return;
        }
    }
    if (records.empty()) {
        CMessageBox::Show(m_window, QStringLiteral("还没有博客帐户, 请先新建一个帐户"));
        return;
    }
    std::string account = records.front().name;
    if (records.size() > 1) {
        const std::optional<std::string> chosen = CAccountChooserDialog::Choose(records, m_window);
        if (!chosen)
            return;
        account = *chosen;
    }
    if (!m_tree->LocalLoginCheck(account))
        return;
    std::vector<std::string> accounts;
    for (const AccountRecord& record : records)
        accounts.push_back(record.name);
    // Task 6 names a row of the on-line search results; a stored item (of a channel's list or
    // found by a local search) is task 5.
    RunEditor({.task = item.origin == ItemOrigin::kWebSearch ? EditorTask::WriteFromSearchResult
                                                             : EditorTask::WriteFromFeedItem,
               .account = account,
               .index = item.id},
              accounts);
}
