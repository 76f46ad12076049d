#include "app/AppContext.h"
#include "app/ProgramOptions.h"
#include "storage/FeedDatabase.h"
#include "ui/common/QtTranslation.h"
#include "vacuum/VacuumWindow.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

// quillmark-vacuum [--home DIR] [--console]: rebuilds Storage/rss.db of the program directory to
// give back the space of removed items. Without a display (or with --console) it reports on
// the terminal; the exit code is 0 when the file was compacted.
namespace {

const char* kUsage = "用法: quillmark-vacuum [--home 目录] [--console]\n"
                     "整理程序目录中的 Storage/rss.db, 收回已删除文章所占的空间。\n"
                     "  --home 目录   程序目录 (默认为 quillmark 使用的目录)\n"
                     "  --console     在终端输出结果, 不显示窗口\n"
                     "  --help        显示本说明\n";

} // namespace

int main(int argc, char** argv) {
    bool console = false;
    if (const std::optional<int> exitCode =
            CProgramOptions::Read(argc, argv, kUsage, {{"--console", &console}}))
        return *exitCode;
    const bool display =
        std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
    const std::string store = CFeedDatabase::PathOf(CAppContext::Process());
    if (console || !display) {
        std::printf("正在整理 %s ...\n", store.c_str());
        std::fflush(stdout);
        const VacuumResult result = CVacuumWindow::Compact(store);
        std::printf("%s\n", CVacuumWindow::ResultText(result).toStdString().c_str());
        return result.ok ? 0 : 1;
    }
    QApplication app(argc, argv);
    InstallQtTranslation();
    CVacuumWindow window(store);
    window.show();
    window.Start();
    window.exec();
    return 0;
}
