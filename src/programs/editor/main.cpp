#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/ProgramOptions.h"
#include "ui/app/QuillApp.h"
#include "ui/app/SingleInstance.h"
#include "ui/blog/AccountTreeCtrl.h"
#include "ui/common/CommandIds.h"
#include "ui/common/MessageBox.h"
#include "ui/common/QtTranslation.h"
#include "ui/common/UiText.h"
#include "ui/common/WindowReporter.h"
#include "ui/editor/EditorWindow.h"
#include "workspace/ArticleOperations.h"
#include "workspace/EditorHandOff.h"
#include "workspace/EditorLauncher.h"
#include "workspace/EditorSession.h"

#include <QApplication>
#include <string>

// quillmark-editor [--home DIR]: the weblog article editor. The main window writes its orders
// into Temp/subprocess.xml of the program directory just before it starts this program; the
// editor reads them at once, opens the article and tells the main window which folders to
// recount after each save or publish.
namespace {

const char* kUsage = "用法: quillmark-editor [--home 目录]\n"
                     "按照主程序写在 Temp/subprocess.xml 里的要求撰写或编辑一篇日志。\n"
                     "  --home 目录   程序目录 (默认为 quillmark 使用的目录)\n"
                     "  --help        显示本说明\n";

const QString kCaption = QStringLiteral("日志编辑器");

} // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> exitCode = CProgramOptions::Read(argc, argv, kUsage))
        return *exitCode;

    // The 预览 tab's web engine is set up as the main program's, before the application.
    CQuillApp::PrepareProcess();
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Quillmark"));
    app.setApplicationDisplayName(kCaption);
    app.setOrganizationName(QStringLiteral("Quillmark"));
    InstallQtTranslation();
    CWindowReporter reporter;
    SetReporter(&reporter);

    const CAppContext context = CAppContext::Process();
    const std::string handOffPath = CEditorLauncher::HandOffPath(context);
    std::string reason;
    std::optional<EditorHandOff> handOff = CEditorHandOff::ReadHandOff(handOffPath, &reason);
    if (!handOff) {
        CMessageBox::Show(nullptr,
                          QStringLiteral("无法读取主程序给编辑器的要求 (%1):\n%2")
                              .arg(ToQ(handOffPath), ToQ(reason)),
                          kCaption, true);
        SetReporter(nullptr);
        return 1;
    }

    int exitCode = 1;
    {
        // The window hears the publish operations; the session works through them.
        CEditorWindow window;
        reporter.SetOwner(&window);
        CArticleOperations operations(context, window);
        CEditorSession session(operations);
        if (!session.Open(*handOff, reason)) {
            CMessageBox::Show(nullptr, QStringLiteral("无法打开文章: ") + ToQ(reason), kCaption,
                              true);
        } else {
            // The running main window recounts the folders a save or publish changed.
            CSingleInstance mainWindow(CSingleInstance::ServerNameFor(context.Dir()));
            window.SetFoldersChangedHandler([&mainWindow](const std::vector<int>& codes) {
                for (int code : codes)
                    mainWindow.Send(WM_ACCOUNT_TREE_UPDATE, code, CAccountTreeCtrl::kUpdateRecount,
                                    1000);
            });
            window.SetPublishedHandler(
                [&mainWindow] { mainWindow.Send(WM_BLOG_RESULT, 0, kBlogResultPublished, 1000); });
            window.Attach(session);
            window.show();
            exitCode = app.exec();
            window.WaitForWorkers();
            operations.Wait();
        }
        reporter.SetOwner(nullptr);
    }
    SetReporter(nullptr);
    return exitCode;
}
