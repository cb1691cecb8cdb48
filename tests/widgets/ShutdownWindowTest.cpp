#include "WindowFixture.h"
#include "shell/QuitRules.h"
#include "shell/TerminationSignals.h"
#include "shell/UserDefaults.h"

#include <QFile>
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

QStringList g_logged;

void keepLogged(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_logged.append(message);
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
            &termination, &TerminationSignals::terminationRequested, window.get(), &WindowController::terminateOnSignal);
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

TEST_F(WindowTest, ChangedFormsAskToBeSavedBeforeAnyQuit)
{
    TerminationSignals termination;
    const QString document = fake.path() + "/Before Quitting.brvn";
    using Request = std::function<void(WindowController&)>;
    const Request menu = [](WindowController& w) { w.ui()->quitAction->trigger(); };
    const Request close = [](WindowController& w) { w.close(); };
    const Request loginSheet = [](WindowController& w) {
        w.loginPanel()->open();
        w.loginUi()->quitButton->click();
    };
    const struct {
        const char* name;
        Request request;
        bool edit;
        QList<int> answers; // empty: nothing may be asked
        QString savedTo;    // the save panel's choice; empty cancels it
        bool quits;
    } cases[] {
        {"menu, nothing changed", menu, false, {}, {}, true},
        {"menu, Cancel", menu, true, {returncode::alternateButton}, {}, false},
        {"menu, Don't Save", menu, true, {returncode::otherButton}, {}, true},
        {"menu, Save…, the panel's Cancel", menu, true, {returncode::defaultButton}, "", false},
        {"menu, Save…", menu, true, {returncode::defaultButton}, document, true},
        {"close, Cancel", close, true, {returncode::alternateButton}, {}, false},
        {"close, Save…", close, true, {returncode::defaultButton}, document, true},
        {"the login sheet's Quit, Don't Save", loginSheet, true, {returncode::otherButton}, {}, true},
        {"SIGTERM asks nothing, saves nothing", [](WindowController&) { std::raise(SIGTERM); }, true, {}, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(document);
        Alerts::resetRecord();
        window = std::make_unique<WindowController>();
        window->show();
        QObject::connect(&termination, &TerminationSignals::terminationRequested, window.get(),
                         &WindowController::terminateOnSignal);
        launchAndLogIn();
        if (c.edit)
            ui()->mydomainField->setText("changed.example");
        ASSERT_EQ(window->isWindowModified(), c.edit);
        for (int answer : c.answers)
            Alerts::setNextAnswer(answer);
        if (c.answers.value(0) == returncode::defaultButton)
            Alerts::setNextFileName(c.savedTo);
        g_logged.clear();
        fake.clearCalls();
        const QtMessageHandler before = qInstallMessageHandler(keepLogged);
        if (c.quits) {
            EXPECT_EQ(runUntilQuit(*window, c.request), 0);
        } else {
            // Not the event loop's own run: its end would run the shutdown steps.
            c.request(*window);
            QTest::qWait(100);
        }
        qInstallMessageHandler(before);
        ASSERT_EQ(Alerts::shown().size(), c.answers.size());
        if (!c.answers.isEmpty())
            EXPECT_EQ(Alerts::shown().constFirst().title, "Save changes to the settings before quitting?");
        EXPECT_EQ(QFile::exists(document), !c.savedTo.isEmpty());
        EXPECT_EQ(fake.countCalls("> /usr/local/tarnwick/postfix/LaunchDaemons/.smartHosts"), c.quits ? 1 : 0)
            << "the shutdown steps ran";
        // Cancel and Don't Save keep the changes in the forms; only a save marks them saved.
        EXPECT_EQ(window->isWindowModified(), c.edit && c.savedTo.isEmpty());
        EXPECT_EQ(g_logged.contains(quitting::unsavedOnSignal), std::string(c.name).starts_with("SIGTERM"));
        EXPECT_EQ(window->isVisible(), !c.quits);
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
