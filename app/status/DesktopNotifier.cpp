#include "status/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
// The action a click on the notice itself invokes.
const QString defaultAction = QStringLiteral("default");
// Ids of notices long gone are no use; a few cover those still on screen.
constexpr qsizetype remembered = 16;

} // namespace

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
{
    if (m_bus.isConnected())
        m_bus.connect(
            QString(), path, service, QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
}

void DesktopNotifier::show(const brevane::status::Notice& notice)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    const QVariantMap hints { { QStringLiteral("urgency"), QVariant::fromValue(uchar(2)) },
        { QStringLiteral("desktop-entry"), QStringLiteral("brevane") } };
    call << QStringLiteral("Brevane") << uint(0) << QStringLiteral("dialog-warning") << notice.summary << notice.body
         << QStringList { defaultAction, tr("Show Status") } << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        const QDBusPendingReply<uint> reply = *watcher;
        // No notification server: the notice is lost, the window goes on.
        if (!reply.isError()) {
            m_shown.append(reply.value());
            if (m_shown.size() > remembered)
                m_shown.removeFirst();
        }
        watcher->deleteLater();
    });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action)
{
    // Every program's notices raise this signal: only ours count.
    if (action == defaultAction && m_shown.contains(id))
        emit activated();
}
