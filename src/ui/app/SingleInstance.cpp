#include "ui/app/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

CSingleInstance::CSingleInstance(const QString& serverName, QObject* parent)
    : QObject(parent), m_name(serverName) {}

CSingleInstance::~CSingleInstance() {
    if (m_server)
        m_server->close();
}

QString CSingleInstance::ServerNameFor(const std::string& programDir) {
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(programDir), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QStringLiteral("%1-%2-%3")
        .arg(QString::fromLatin1(kWindowClassName))
        .arg(::getuid())
        .arg(QString::fromLatin1(hash));
}

bool CSingleInstance::IsRunning(int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    const bool connected = socket.waitForConnected(timeoutMs);
    if (connected)
        socket.disconnectFromServer();
    return connected;
}

bool CSingleInstance::Send(int message, qint64 wParam, qint64 lParam, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    const QByteArray line = QByteArray::number(message) + ' ' + QByteArray::number(wParam) + ' ' +
                            QByteArray::number(lParam) + '\n';
    socket.write(line);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running instance closes the connection once it has read the message.
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool CSingleInstance::Listen() {
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnConnection);
    }
    if (m_server->listen(m_name))
        return true;
    if (m_server->serverError() == QAbstractSocket::AddressInUseError && !IsRunning(200)) {
        QLocalServer::removeServer(m_name);
        return m_server->listen(m_name);
    }
    return false;
}

bool CSingleInstance::IsListening() const {
    return m_server && m_server->isListening();
}

void CSingleInstance::OnConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QList<QByteArray> parts = socket->readLine().trimmed().split(' ');
                if (parts.size() != 3)
                    continue;
                bool ok[3] = {};
                const int message = parts[0].toInt(&ok[0]);
                const qint64 wParam = parts[1].toLongLong(&ok[1]);
                const qint64 lParam = parts[2].toLongLong(&ok[2]);
                if (ok[0] && ok[1] && ok[2])
                    emit MessageReceived(message, wParam, lParam);
            }
            socket->disconnectFromServer();
        });
    }
}
