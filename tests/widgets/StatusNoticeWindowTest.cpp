// Notices of failing checks on a private session bus (dbus-run-session),
// with a stand-in for the desktop's notification server.
#include "WindowFixture.h"
#include "status/StatusTab.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QPushButton>

namespace {

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList summaries;
    QStringList actions;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString&, const QStringList& list,
        const QVariantMap&, int)
    {
        summaries.append(summary);
        actions = list;
        return 40 + uint(summaries.size());
    }
};

const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString name = QStringLiteral("org.freedesktop.Notifications");

} // namespace

TEST_F(WindowTest, ARedCheckIsToldAndOnlyOurNoticeShowsTheTab)
{
    // Another connection than the window's, as another process would be.
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-notifications");
    FakeNotifications server;
    ASSERT_TRUE(bus.registerService(name) && bus.registerObject(path, &server, QDBusConnection::ExportAllSlots))
        << "no session bus: run under dbus-run-session";
    const auto click = [&bus](uint id) {
        QDBusMessage signal = QDBusMessage::createSignal(path, name, QStringLiteral("ActionInvoked"));
        bus.send(signal << id << QStringLiteral("default"));
    };
    window->applicationDidFinishLaunching();
    window->statusTab()->setQueueCommand({ "/bin/sh", "-c", "echo 'postqueue: fatal: no' >&2; exit 69" });
    window->findChild<QAction*>("statusItem")->trigger();
    window->statusTab()->findChild<QPushButton*>("checkNowButton")->click();
    ASSERT_TRUE(waitFor([this] { return !window->statusTab()->isChecking(); }));
    ASSERT_TRUE(waitFor([&server] { return server.summaries.size() == 1; }));
    EXPECT_EQ(server.summaries.first(), "Brevane: Mail queue failing");
    EXPECT_EQ(server.actions.value(0), "default");

    window->findChild<QAction*>("deliverabilityItem")->trigger();
    click(7); // another program's notice
    QTest::qWait(200);
    EXPECT_NE(ui()->tabView->currentWidget(), window->statusTab());
    click(41);
    EXPECT_TRUE(waitFor([this] { return ui()->tabView->currentWidget() == window->statusTab(); }));
}

#include "StatusNoticeWindowTest.moc"
