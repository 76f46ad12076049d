#include "ui/app/QuillApp.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/ProgramDir.h"
#include "platform/fs/FileUtil.h"
#include "storage/LocalStores.h"
#include "ui/app/MainFrame.h"
#include "ui/app/SingleInstance.h"
#include "ui/common/AppIcons.h"
#include "ui/common/AppStyle.h"
#include "ui/common/BottomHtmlView.h"
#include "ui/common/CommandIds.h"
#include "ui/common/MessageBox.h"
#include "ui/common/QtTranslation.h"
#include "ui/common/UiText.h"
#include "ui/common/WindowReporter.h"

#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

void CQuillApp::PrepareProcess() {
    // The web engine's sandbox refuses to run as root; without a GPU it must not try one.
    if (::geteuid() == 0) {
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
        ::setenv("QTWEBENGINE_CHROMIUM_FLAGS",
                 "--disable-gpu --no-sandbox --disable-background-networking", 0);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CPaneSchemeHandler::RegisterScheme();
}

CQuillApp::CQuillApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Quillmark"));
    setApplicationDisplayName(AppTitle());
    setOrganizationName(QStringLiteral("Quillmark"));
    m_reporter = std::make_unique<CWindowReporter>();
    SetReporter(m_reporter.get());
}

CQuillApp::~CQuillApp() {
    m_frame.reset();
    SetReporter(nullptr);
}

CQuillApp* CQuillApp::Instance() {
    return qobject_cast<CQuillApp*>(QCoreApplication::instance());
}

std::string CQuillApp::ParseArguments(const QStringList& arguments, std::string* home) {
    std::string address;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--home") && i + 1 < arguments.size()) {
            if (home)
                *home = ToStd(arguments[++i]);
            continue;
        }
        if (arg.startsWith(QLatin1String("--")))
            continue;
        if (address.empty())
            address = ToStd(arg);
    }
    return address;
}

bool CQuillApp::HomeArgumentIsEmpty(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--home"))
            return i + 1 >= arguments.size() || arguments[i + 1].isEmpty();
    }
    return false;
}

int CQuillApp::HandOffToRunning(const CSingleInstance& running, const std::string& address) {
    if (!running.IsRunning())
        return -1;
    if (address.empty())
        CMessageBox::Show(nullptr, QString::fromUtf8(kAlreadyRunningText));
    else
        HandOffAddress(running, address);
    return 0;
}

bool CQuillApp::HandOffAddress(const CSingleInstance& running, const std::string& address) {
    // The file first, then the message: the running instance reads what is there when told.
    if (!WriteTextFile(address, kHandOffFile))
        return false;
    return running.Send(WM_ADDRSS_NOTIFY, 0, 0);
}

bool CQuillApp::TakeHandOffAddress(std::string& address, std::string& error) {
    const std::string path = GetAppFilePath(kHandOffFile);
    std::string text;
    if (!ReadTextFile(path, text)) {
        error = "无法打开文件: " + path;
        return false;
    }
    CFileUtil::RemoveFile(path);
    address = text;
    return true;
}

bool CQuillApp::PlacementIsMaximized(const WindowPlacement& placement) {
    return placement.left + placement.top + placement.right + placement.bottom < 1;
}

int CQuillApp::Start() {
    EnsureIconTheme();
    setStyle(new CAppStyle);
    setWindowIcon(AppIcon());
    InstallQtTranslation();

    if (HomeArgumentIsEmpty(arguments())) {
        CMessageBox::Show(nullptr, QStringLiteral("--home 需要一个目录, 不能为空"));
        return 1;
    }
    std::string home;
    m_startAddress = ParseArguments(arguments(), &home);
    if (!home.empty())
        SetModuleDir(home);

    m_instance = std::make_unique<CSingleInstance>(CSingleInstance::ServerNameFor(GetModuleDir()));
    if (int exitCode = HandOffToRunning(*m_instance, m_startAddress); exitCode >= 0)
        return exitCode;

    std::string error;
    if (!CProgramDir::Prepare(error)) {
        CMessageBox::Show(nullptr, QStringLiteral("无法准备程序目录: ") + ToQ(error));
        return 0;
    }
    if (::chdir(GetModuleDir().c_str()) != 0) {
        CMessageBox::Show(nullptr, QStringLiteral("无法进入程序目录: ") + ToQ(GetModuleDir()));
        return 0;
    }
    if (!CLocalStores::CreateStores(CAppContext::Process(), error)) {
        CMessageBox::Show(nullptr, ToQ(error));
        return 0;
    }
    m_instance->Listen();
    connect(m_instance.get(), &CSingleInstance::MessageReceived, this,
            &CQuillApp::OnInstanceMessage, Qt::QueuedConnection);

    WindowPlacement placement;
    if (!CAppContext::Process().Settings().ReadWindowPlacement(placement))
        return 0;

    m_frame = std::make_unique<CMainFrame>();
    if (!m_frame->Create(placement))
        return 0;
    m_reporter->SetOwner(m_frame.get());
    m_frame->PlaceWindow(placement);
    WatchTerminationSignals();
    // However the event loop ends, the window's state is written first.
    connect(this, &QCoreApplication::aboutToQuit, m_frame.get(), &CMainFrame::Shutdown);

    // After the first layout, an address from the command line becomes a subscription.
    if (!m_startAddress.empty()) {
        QTimer::singleShot(0, m_frame.get(),
                           [this] { m_frame->AddSubscriptionFromAddress(m_startAddress); });
    }
    return -1;
}

void CQuillApp::OnInstanceMessage(int message, qint64 wParam, qint64 lParam) {
    if (!m_frame)
        return;
    if (message != WM_ADDRSS_NOTIFY) {
        m_frame->OnWindowMessage(message, wParam, lParam);
        return;
    }
    std::string address;
    std::string error;
    if (!TakeHandOffAddress(address, error)) {
        CMessageBox::Show(m_frame.get(), ToQ(error));
        return;
    }
    m_startAddress = address;
    m_frame->ShowMainWindow();
    m_frame->AddSubscriptionFromAddress(m_startAddress);
}

void CQuillApp::WatchTerminationSignals() {
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(g_signalPipe[0], &byte, 1) > 0) {
        }
        if (m_frame)
            m_frame->close();
        quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}
