#pragma once

#include "app/AppSettings.h"

#include <QApplication>
#include <memory>
#include <string>

class CMainFrame;
class CSingleInstance;
class CWindowReporter;

// The application object: one instance per program directory, the program directory made ready,
// the main window placed where it was left, and the hand-off of addresses from later starts.
class CQuillApp : public QApplication {
    Q_OBJECT
public:
    // What must be settled before the application object exists: the web engine's switches
    // when the program runs as root, the pane's document scheme, shared GL contexts.
    static void PrepareProcess();

    CQuillApp(int& argc, char** argv);
    ~CQuillApp() override;
    static CQuillApp* Instance();

    // Start-up. Returns the exit code when the process must end now (another instance runs,
    // the program directory or a store cannot be opened), or -1 to run the event loop.
    int Start();

    // The address handed over on the command line or by a later start ("" for none).
    const std::string& StartAddress() const { return m_startAddress; }
    void SetStartAddress(const std::string& address) { m_startAddress = address; }
    CMainFrame* Frame() const { return m_frame.get(); }

    // The first plain argument; "--home DIR" fixes the program directory. The argument is only
    // ever an address, never a document to open.
    static std::string ParseArguments(const QStringList& arguments, std::string* home);
    // True when "--home" comes without a folder (last, or followed by an empty word): that
    // start is refused rather than quietly using the default program directory.
    static bool HomeArgumentIsEmpty(const QStringList& arguments);
    // A later start: without an address it says "程序已经启动运行!", with one it hands it over.
    // Returns the exit code (0), or -1 when no instance answers under the name.
    static int HandOffToRunning(const CSingleInstance& running, const std::string& address);
    // A later start with an address: writes it to Temp/addrss.txt, then tells the running
    // instance. False (and nothing sent) when the file cannot be written or nobody answers.
    static bool HandOffAddress(const CSingleInstance& running, const std::string& address);
    // The running instance's side: reads Temp/addrss.txt whole and deletes it. False with the
    // reason when it cannot be read.
    static bool TakeHandOffAddress(std::string& address, std::string& error);
    // A saved rectangle whose four values add up to less than 1 means a maximised window.
    static bool PlacementIsMaximized(const WindowPlacement& placement);
    static constexpr const char* kHandOffFile = "Temp\\addrss.txt";

    // Shown when the program is started a second time without an address.
    static constexpr const char* kAlreadyRunningText = "程序已经启动运行!";

private:
    void OnInstanceMessage(int message, qint64 wParam, qint64 lParam);
    // SIGINT and SIGTERM close the main window as its close box does, so nothing is lost.
    void WatchTerminationSignals();

    std::string m_startAddress;
    std::unique_ptr<CSingleInstance> m_instance;
    std::unique_ptr<CWindowReporter> m_reporter;
    std::unique_ptr<CMainFrame> m_frame;
};
