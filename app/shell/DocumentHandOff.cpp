#include "shell/DocumentHandOff.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/stat.h>
#include <unistd.h>

bool DocumentHandOff::isPrivateFolder(const QString& path, uid_t uid)
{
    struct stat status {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode)
           && status.st_uid == uid && (status.st_mode & 077) == 0;
}

QString DocumentHandOff::socketPath()
{
    const uid_t uid = ::getuid();
    const QString name = QStringLiteral("/brevane-documents");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime, uid))
        return runtime + name;
    const QString fallback = QDir::tempPath() + QStringLiteral("/brevane-%1").arg(uid);
    ::mkdir(QFile::encodeName(fallback).constData(), 0700);
    return isPrivateFolder(fallback, uid) ? fallback + name : QString();
}

DocumentHandOff::DocumentHandOff(QObject* parent)
    : QObject(parent)
{
}

bool DocumentHandOff::handToRunningInstance(const QStringList& paths)
{
    const QString path = socketPath();
    if (paths.isEmpty() || path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(500))
        return false;
    socket.write(paths.join(QLatin1Char('\n')).toUtf8() + '\n');
    socket.disconnectFromServer();
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(2000);
}

void DocumentHandOff::listen(std::function<void(const QString&)> open)
{
    const QString path = socketPath();
    if (path.isEmpty())
        return;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path);
    if (!m_server->listen(path))
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
