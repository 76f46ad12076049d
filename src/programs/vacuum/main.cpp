#include "app/AppPaths.h"
#include "vacuum/VacuumWindow.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// quillmark-vacuum [--home DIR] [--console]: rebuilds Storage/rss.db of the program directory to
// give back the space of removed items. Without a display (or with --console) it reports on
// the terminal; the exit code is 0 when the file was compacted.
int main(int argc, char** argv) {
    bool console = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--home") == 0 && i + 1 < argc)
            SetModuleDir(argv[++i]);
        else if (std::strcmp(argv[i], "--console") == 0)
            console = true;
    }
    const bool display =
        std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
    const std::string store = GetAppFilePath("Storage\\rss.db");
    if (console || !display) {
        std::printf("正在整理 %s ...\n", store.c_str());
        std::fflush(stdout);
        const VacuumResult result = CVacuumWindow::Compact(store);
        std::printf("%s\n", CVacuumWindow::ResultText(result).toStdString().c_str());
        return result.ok ? 0 : 1;
    }
    QApplication app(argc, argv);
    CVacuumWindow window(store);
    window.show();
    window.Start();
    window.exec();
    return 0;
}
