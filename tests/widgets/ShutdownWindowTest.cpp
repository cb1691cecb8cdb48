#include "WindowFixture.h"
#include "shell/TerminationSignals.h"
#include "shell/UserDefaults.h"

#include <QPushButton>
#include <QTimer>
#include <csignal>
#include <functional>

using namespace brevane;

namespace {

struct QuitCase {
    const char* name;
    bool logIn;
    std::function<void(WindowController&)> request;
};

/// Runs the real event loop until the request ends it; 1 when it did not
/// end within two seconds.
int runUntilQuit(WindowController& window, const std::function<void(WindowController&)>& request)
{
    QTimer::singleShot(0, &window, [&] { request(window); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(2000);
    return QCoreApplication::exec();
}

} // namespace

TEST_F(WindowTest, EveryWayToQuitEndsTheProgramAfterTheShutdownSteps)
{
    TerminationSignals termination;
    const QuitCase cases[] = {
        { "menu Quit", true, [](WindowController& w) { w.ui()->quitAction->trigger(); } },
        { "the alert's Quit", true,
            [](WindowController& w) {
                Alerts::setNextAnswer(returncode::defaultButton);
                w.close();
            } },
        { "the login sheet's Quit", false, [](WindowController& w) { w.loginUi()->quitButton->click(); } },
        { "SIGTERM", true, [](WindowController&) { std::raise(SIGTERM); } },
        { "SIGHUP", true, [](WindowController&) { std::raise(SIGHUP); } },
    };
    for (const QuitCase& c : cases) {
        SCOPED_TRACE(c.name);
        window = std::make_unique<WindowController>();
        window->show();
        QObject::connect(
            &termination, &TerminationSignals::terminationRequested, window.get(), &WindowController::terminate);
        if (c.logIn) {
            launchAndLogIn();
        } else {
            window->loginUi()->savePasswordInKeychain->setChecked(false);
            window->applicationDidFinishLaunching();
        }
        window->selectTabViewItem(ui()->mailQueueItem);
        fake.clearCalls();
        EXPECT_EQ(runUntilQuit(*window, c.request), 0);
        EXPECT_EQ(UserDefaults::value("lastTabUsed"), "Mail Queue");
        // Before a log-in the list was never read, so it is not written over.
        EXPECT_EQ(fake.countCalls("> /usr/local/tarnwick/postfix/LaunchDaemons/.smartHosts"), c.logIn ? 1 : 0);
        UserDefaults::setValue("lastTabUsed", "Outgoing");
    }
}

TEST_F(WindowTest, TheLoginSheetStaysUntilALogIn)
{
    window->loginUi()->savePasswordInKeychain->setChecked(false);
    window->applicationDidFinishLaunching();
    QTest::keyClick(window->loginUi()->passwordField, Qt::Key_Escape);
    EXPECT_TRUE(window->loginPanel()->isVisible());
    EXPECT_FALSE(window->loginPanel()->close());
    EXPECT_TRUE(window->loginPanel()->isVisible());
}
