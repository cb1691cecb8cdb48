#pragma once

#include "status/StatusNotice.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>

/// Shows notices through the desktop's notification server
/// (org.freedesktop.Notifications) and says when one was clicked. Without a
/// session bus or a server, nothing is shown and nothing fails.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifier(const QDBusConnection& bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    void show(const brevane::status::Notice& notice);

signals:
    /// One of our notices was clicked.
    void activated();

private slots:
    void onActionInvoked(uint id, const QString& action);

private:
    QDBusConnection m_bus;
    QList<uint> m_shown; ///< the server's ids of our notices, latest last
};
