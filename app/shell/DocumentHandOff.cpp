#include "shell/DocumentHandOff.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

namespace {

QString serverName()
{
    return QStringLiteral("brevane-documents-%1").arg(::getuid());
}

} // namespace

DocumentHandOff::DocumentHandOff(QObject* parent)
    : QObject(parent)
{
}

bool DocumentHandOff::handToRunningInstance(const QStringList& paths)
{
    if (paths.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(500))
        return false;
    socket.write(paths.join(QLatin1Char('\n')).toUtf8() + '\n');
    socket.disconnectFromServer();
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(2000);
}

void DocumentHandOff::listen(std::function<void(const QString&)> open)
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(serverName());
    if (!m_server->listen(serverName()))
        return;
    connect(m_server, &QLocalServer::newConnection, this, [this, open] {
        QLocalSocket* client = m_server->nextPendingConnection();
        connect(client, &QLocalSocket::disconnected, client, [client, open] {
            const QStringList paths = QString::fromUtf8(client->readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            for (const QString& path : paths)
                open(path);
            client->deleteLater();
        });
    });
}
