#include "workspace/EditorLauncher.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "platform/process/ProgramRunner.h"
#include "storage/ArticleDatabase.h"
#include "workspace/ReasonRecorder.h"

#include <algorithm>
#include <unistd.h>

CEditorLauncher::CEditorLauncher(const CAppContext& context, std::string editorPath)
    : m_context(context), m_editorPath(std::move(editorPath)) {}

std::string CEditorLauncher::EditorBeside(const std::string& programFolder) {
    return programFolder + "/" + kEditorProgram;
}

std::string CEditorLauncher::HandOffPath(const CAppContext& context) {
    return context.FilePath(kHandOffFile);
}

std::optional<EditorTask> CEditorLauncher::EditTaskOf(int folder) {
    switch (folder) {
    case kFolderReceived:
        return EditorTask::EditReceived;
    case kFolderSent:
        return EditorTask::EditSent;
    case kFolderDrafts:
        return EditorTask::EditDraft;
    case kFolderTrash:
        return EditorTask::EditDeleted;
    default:
        return std::nullopt;
    }
}

EditorHandOff CEditorLauncher::MakeHandOff(const EditorOrder& order,
                                           const std::vector<std::string>& accounts) {
    const auto found = std::find(accounts.begin(), accounts.end(), order.account);
    const int index = static_cast<int>(found - accounts.begin());
    EditorHandOff handOff{
        .task = order.task,
        .account = order.account,
        .index = order.task == EditorTask::Compose ? std::nullopt : order.index,
        .publishFolderTreeId = CEditorHandOff::NodeCode(index, kFolderSent),
        .draftFolderTreeId = CEditorHandOff::NodeCode(index, kFolderDrafts),
        .accounts = {},
    };
    for (size_t i = 0; i < accounts.size(); ++i)
        handOff.accounts.push_back(
            {.name = accounts[i], .treeId = CEditorHandOff::NodeCode(static_cast<int>(i), 0)});
    return handOff;
}

HandOffResult CEditorLauncher::Launch(const EditorOrder& order) {
    std::vector<AccountRecord> records;
    CReasonRecorder recorder;
    {
        CScopedReporter scope(recorder);
        if (!m_context.Accounts().ListAccounts(records)) {
            const std::string details = recorder.Take();
            return {.ok = false,
                    .reason = std::string(kAccountsUnreadableText) +
                              (details.empty() ? std::string() : "\n" + details)};
        }
    }
    std::vector<std::string> names;
    for (const AccountRecord& record : records)
        names.push_back(record.name);
    return Launch(order, names);
}

HandOffResult CEditorLauncher::Launch(const EditorOrder& order,
                                      const std::vector<std::string>& accounts) {
    const HandOffResult written =
        CEditorHandOff::WriteHandOff(HandOffPath(m_context), MakeHandOff(order, accounts));
    if (!written.ok)
        return written;
    return StartEditor();
}

HandOffResult CEditorLauncher::EditArticle(long long articleId, const std::string& account,
                                           int folder) {
    const std::optional<EditorTask> task = EditTaskOf(folder);
    if (!task)
        return {.ok = false,
                .reason = "只能编辑四个文件夹中的文章, 文件夹无效: " + std::to_string(folder)};
    return Launch({.task = *task, .account = account, .index = articleId});
}

HandOffResult CEditorLauncher::StartEditor() {
    if (access(m_editorPath.c_str(), X_OK) != 0)
        return {.ok = false, .reason = kMissingEditorText + m_editorPath};
    std::string error;
    // The editor is told the program directory: it may not be the one it would find by itself
    // (quillmark --home DIR, quillmark-cli --home DIR). Only its start is waited for, and that
    // under Start's time limit; the editor the user then keeps open is never stopped.
    if (!CProgramRunner::Start(m_editorPath, {"--home", m_context.Dir()}, &error))
        return {.ok = false, .reason = "无法启动编辑器程序: " + error};
    return {.ok = true, .reason = {}};
}
