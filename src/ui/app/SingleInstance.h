#pragma once

#include <QObject>
#include <QString>
#include <string>

class QLocalServer;

// One running instance per program directory. The running main window answers on a local
// socket whose name is made from "QUILLMainProcessClass1.0" and the program directory; a second
// start finds it there and sends it messages (message number, wParam, lParam), as one window
// would send another.
class CSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit CSingleInstance(const QString& serverName, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // The socket name for a program directory (and this user).
    static QString ServerNameFor(const std::string& programDir);
    static constexpr const char* kWindowClassName = "QUILLMainProcessClass1.0";

    const QString& ServerName() const { return m_name; }
    // True when an instance answers under the name.
    bool IsRunning(int timeoutMs = 1000) const;
    // Sends one message to the running instance; true once it is delivered.
    bool Send(int message, qint64 wParam, qint64 lParam, int timeoutMs = 3000) const;
    // Starts answering under the name. A name left behind by an instance that ended without
    // closing it is taken over.
    bool Listen();
    bool IsListening() const;

signals:
    void MessageReceived(int message, qint64 wParam, qint64 lParam);

private:
    void OnConnection();

    QString m_name;
    QLocalServer* m_server = nullptr;
};
