#include "ui/ArgumentChannel.h"

#include <QDataStream>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

ArgumentChannel::ArgumentChannel(QObject* parent) : QObject(parent) {}

ArgumentChannel::~ArgumentChannel() = default;

bool ArgumentChannel::listen(const QString& name) {
    // Only the holder of the lock calls this: a socket already there is stale.
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // One message: a whole QStringList. Wait until it has all come.
                QDataStream in(socket);
                in.startTransaction();
                QStringList paths;
                in >> paths;
                if (!in.commitTransaction())
                    return;
                socket->disconnectFromServer();
                emit received(paths);
            });
        }
    });
    return true;
}

bool ArgumentChannel::send(const QString& name, const QStringList& paths, int timeoutMs) {
    QStringList absolute;
    for (const QString& path : paths)
        absolute << QFileInfo(path).absoluteFilePath();
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QDataStream out(&socket);
    out << absolute;
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running copy hangs up once it has read everything.
    if (socket.state() == QLocalSocket::ConnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}
