#pragma once

#include "app/AppContext.h"
#include "workspace/EditorHandOff.h"

#include <optional>
#include <string>
#include <vector>

// What the user asked the editor to do: the task, the account it is for and, for every task
// but Compose, the article's or feed item's id.
struct EditorOrder {
    EditorTask task = EditorTask::Compose;
    std::string account;
    std::optional<long long> index;
};

// Starts the editor program on a task, for the windows and quillmark-cli: writes the hand-off
// file Temp/subprocess.xml of the program directory, then starts the editor on that directory
// without waiting for it. The editor reads the file at once on start; two quick starts overwrite
// the same file.
class CEditorLauncher {
public:
    static constexpr const char* kEditorProgram = "quillmark-editor";
    static constexpr const char* kHandOffFile = "Temp\\subprocess.xml";

    // The context's program directory and accounts; editorPath: the editor program (see
    // EditorBeside).
    CEditorLauncher(const CAppContext& context, std::string editorPath);

    // The editor program in the folder of the running program.
    static std::string EditorBeside(const std::string& programFolder);
    // Where the hand-off file of the program directory lies.
    static std::string HandOffPath(const CAppContext& context);

    // The task of an edit of an article lying in a folder (1 已收日志 .. 4 垃圾箱); nothing for
    // any other folder.
    static std::optional<EditorTask> EditTaskOf(int folder);

    // The hand-off for the order with the accounts in tree order: an account's node code
    // follows its place in the list, and an account missing from it takes the place after the
    // last one.
    static EditorHandOff MakeHandOff(const EditorOrder& order,
                                     const std::vector<std::string>& accounts);

    // Writes the hand-off for the order and starts the editor, with the accounts of the account
    // file (or the ones given, in tree order). The reason says what failed: the account file,
    // the hand-off file, or the start ("找不到编辑器程序: " and the path when it is not there).
    HandOffResult Launch(const EditorOrder& order);
    HandOffResult Launch(const EditorOrder& order, const std::vector<std::string>& accounts);
    // An edit of the article with this id lying in the account's folder.
    HandOffResult EditArticle(long long articleId, const std::string& account, int folder);

    // Starts the editor on the program directory (--home); false with the reason when it could
    // not.
    HandOffResult StartEditor();

    const std::string& EditorPath() const { return m_editorPath; }

    static constexpr const char* kMissingEditorText = "找不到编辑器程序: ";
    static constexpr const char* kAccountsUnreadableText = "载入帐户信息失败!";

private:
    CAppContext m_context;
    std::string m_editorPath;
};
