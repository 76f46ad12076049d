#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "app/ErrorCatalog.h"
#include "app/ProgramDir.h"
#include "app/Reporter.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <unistd.h>

namespace {

// Until the error dialog exists, failures are shown in plain message boxes.
class CMessageBoxReporter : public CReporter {
public:
    void ReportError(int id) override {
        ErrorEntry entry;
        QString text = CErrorCatalog::Lookup(id, entry)
                           ? QString::fromStdString(entry.summary + "\n\n" + entry.description)
                           : QString::fromUtf8(kErrorEntryMissingText);
        QMessageBox::warning(nullptr, QStringLiteral("提示信息"),
                             QStringLiteral("编号: %1\n%2").arg(id).arg(text));
    }
    void ReportFault(int id, int place, const std::string& summary,
                     const std::string& description) override {
        QMessageBox::warning(nullptr, QStringLiteral("提示信息"),
                             QString::fromStdString(summary + "\n\n" + description));
    }
    void ReportMessage(const std::string& text) override {
        QMessageBox::information(nullptr, QStringLiteral("Quillmark"),
                                 QString::fromStdString(text));
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    CMessageBoxReporter reporter;
    SetReporter(&reporter);

    std::string error;
    if (!CProgramDir::Prepare(error)) {
        reporter.ReportMessage("无法创建程序目录: " + error);
        return 0;
    }
    if (::chdir(GetModuleDir().c_str()) != 0) {
        reporter.ReportMessage("无法进入程序目录: " + GetModuleDir());
        return 0;
    }

    WindowPlacement placement;
    if (!CAppSettings::ReadWindowPlacement(placement))
        return 0;

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quillmark"));
    auto* label = new QLabel(QStringLiteral("Quillmark 的主窗口正在建设中。\n程序目录: %1")
                                 .arg(QString::fromStdString(GetModuleDir())));
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    if (placement.left + placement.top + placement.right + placement.bottom >= 1) {
        window.setGeometry(placement.left, placement.top, placement.right - placement.left,
                           placement.bottom - placement.top);
        window.show();
    } else {
        window.showMaximized();
    }
    return app.exec();
}
