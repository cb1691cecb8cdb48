// The notices of failing checks on a private session bus, with a stand-in
// for the desktop's notification server (run under dbus-run-session).
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
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString&,
                const QStringList& actionList, const QVariantMap&, int)
    {
        summaries.append(summary);
        actions = actionList;
        return 40 + uint(summaries.size());
    }
};

const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString name = QStringLiteral("org.freedesktop.Notifications");

class StatusNoticeTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(bus.isConnected()) << "no session bus: run under dbus-run-session";
        ASSERT_TRUE(bus.registerService(name));
        ASSERT_TRUE(bus.registerObject(path, &server, QDBusConnection::ExportAllSlots));
    }
    void TearDown() override
    {
        bus.unregisterObject(path);
        bus.unregisterService(name);
    }

    void checkNow()
    {
        window->findChild<QAction*>("statusItem")->trigger();
        window->statusTab()->findChild<QPushButton*>("checkNowButton")->click();
        ASSERT_TRUE(waitFor([this] { return !window->statusTab()->isChecking(); }));
    }

    void click(uint id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(path, name, QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        bus.send(signal);
    }

    // Another connection than the window's, as another process would be.
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-notifications");
    FakeNotifications server;
};

} // namespace

TEST_F(StatusNoticeTest, ARedCheckIsToldOnceAndTheNoticeShowsTheTab)
{
    window->applicationDidFinishLaunching();
    window->statusTab()->setQueueCommand({ "/bin/sh", "-c", "echo 'postqueue: fatal: no' >&2; exit 69" });
    checkNow();
    ASSERT_TRUE(waitFor([this] { return server.summaries.size() == 1; }));
    EXPECT_EQ(server.summaries.first(), "Brevane: Mail queue failing");
    EXPECT_EQ(server.actions.value(0), "default");
    checkNow();
    QTest::qWait(200);
    EXPECT_EQ(server.summaries.size(), 1) << "still red: nothing new to tell";

    window->findChild<QAction*>("deliverabilityItem")->trigger();
    click(7); // someone else's notice
    QTest::qWait(200);
    EXPECT_NE(ui()->tabView->currentWidget(), window->statusTab());
    click(41);
    EXPECT_TRUE(waitFor([this] { return ui()->tabView->currentWidget() == window->statusTab(); }));
}

#include "StatusNoticeWindowTest.moc"
