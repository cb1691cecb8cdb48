#include "WindowFixture.h"

#include "maintenance/MakerSite.h"
#include "maintenance/ShellCommand.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

using namespace brevane;

namespace {

// The listing command's output: one deferred message's next retry, then
// `postqueue -j` for an active message with two recipients and a held one.
const char listing[] =
    "CB07F9A 1796731540.0\\n"
    "{\"queue_name\": \"active\", \"queue_id\": \"D32C79D\", \"arrival_time\": 1796731240, \"message_size\": 262, "
    "\"sender\": \"root@probe.local\", \"recipients\": [{\"address\": \"frank@slow.example\"}, "
    "{\"address\": \"gus@slow.example\", \"delay_reason\": \"connect to slow.example: Connection timed out after a "
    "very long wait that the table cannot show whole\"}]}\\n"
    "{\"queue_name\": \"hold\", \"queue_id\": \"CB07F9A\", \"arrival_time\": 1796731250, \"message_size\": 70, "
    "\"sender\": \"root@probe.local\", \"recipients\": [{\"address\": \"erin@remote-four.example\"}]}\\n";

QString cell(const WindowController& window, int row, int column)
{
    return window.mailqController.index(row, column).data().toString();
}

// Stands in for the browser: records the pages the window asks to open.
class OpenedPages : public QObject {
    Q_OBJECT
public:
    OpenedPages()
    {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~OpenedPages() override
    {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    QList<QUrl> pages;

public slots:
    void open(const QUrl& page) { pages.append(page); }
};

} // namespace

TEST_F(WindowTest, QueueIsListedOneRowPerRecipientWithNothingPreselected)
{
    fake.answer("postqueue -j", listing);
    launchAndLogIn();
    window->showMailq();
    ASSERT_EQ(window->mailqController.rowCount(), 3);
    EXPECT_EQ(window->mailqController.arrangedObjects().at(0).value("queueID"), "D32C79D*");
    EXPECT_EQ(cell(*window, 2, MailQueueModel::Queue), "hold");
    // One click on Delete must not hit a row nobody chose.
    EXPECT_TRUE(window->mailqController.selectionIndexes().isEmpty());
    EXPECT_EQ(window->findChild<QLabel*>("mailqSummaryField")->text(), "2 messages, 3 recipients, 0 deferred, 1 held");
    EXPECT_FALSE(ui()->progressIndicator->isVisible());
    const QString remark = cell(*window, 1, MailQueueModel::Remarks);
    EXPECT_TRUE(remark.endsWith("cannot show whole)"));
    EXPECT_EQ(window->mailqController.index(1, MailQueueModel::Remarks).data(Qt::ToolTipRole), remark);
}

TEST_F(WindowTest, ABusyRunnerKeepsTheRowsShown)
{
    fake.answer("postqueue -j", listing);
    launchAndLogIn();
    window->showMailq();
    ASSERT_EQ(window->mailqController.rowCount(), 3);
    // A listing timed while another command runs gets nothing from the runner.
    fake.clearCalls();
    QTimer::singleShot(0, window.get(), &WindowController::showMailq);
    window->runShell("true");
    EXPECT_EQ(fake.countCalls("postqueue -j"), 0);
    EXPECT_EQ(window->mailqController.rowCount(), 3);
}

TEST_F(WindowTest, DeleteAsksFirstThenDeletesEveryMessageInOneRun)
{
    fake.answer("postqueue -j", listing);
    launchAndLogIn();
    window->showMailq();
    window->mailqController.selectionModel()->select(
        QItemSelection(window->mailqController.index(0, 0), window->mailqController.index(2, 0)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);

    fake.clearCalls();
    Alerts::setNextAnswer(returncode::defaultButton); // "Cancel"
    window->manageMailq(ui()->deleteMailqButton);
    EXPECT_EQ(Alerts::shown().constLast().title, "Delete 2 messages to 3 recipients?");
    EXPECT_EQ(Alerts::shown().constLast().message, "This cannot be undone.");
    EXPECT_EQ(fake.countCalls("postsuper"), 0);

    Alerts::setNextAnswer(returncode::alternateButton); // "Delete"
    window->manageMailq(ui()->deleteMailqButton);
    ASSERT_EQ(fake.countCalls("postsuper"), 1);
    EXPECT_TRUE(fake.calls().constLast().endsWith("-d D32C79D CB07F9A"));
    EXPECT_TRUE(waitFor([&] { return fake.countCalls("postqueue -j") >= 1; }));
}

TEST_F(WindowTest, HoldReleaseAndRequeueActOnTheSelectedMessagesAndRelist)
{
    fake.answer("postqueue -j", listing);
    launchAndLogIn();
    window->showMailq();
    window->mailqController.selectionModel()->select(
        QItemSelection(window->mailqController.index(1, 0), window->mailqController.index(2, 0)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    for (const auto& [name, option] : {std::pair {"holdMailqButton", "-h"}, {"releaseMailqButton", "-H"},
                                       {"requeueMailqButton", "-r"}}) {
        fake.clearCalls();
        window->findChild<QPushButton*>(name)->click();
        ASSERT_EQ(fake.calls().size(), 1) << name;
        EXPECT_TRUE(fake.calls().at(0).endsWith(QStringLiteral("%1 D32C79D CB07F9A").arg(option))) << name;
        EXPECT_TRUE(waitFor([&] { return fake.countCalls("postqueue -j") == 1; })) << name;
    }
}

TEST_F(WindowTest, ViewShowsTheMessageWithItsWholeRemark)
{
    fake.answer("postqueue -j", listing);
    fake.answer("postcat -h -b -q D32C79D", "Subject: stuck\\n\\nbody\\n");
    launchAndLogIn();
    window->showMailq();
    window->mailqController.setSelectionIndex(1);
    fake.clearCalls();
    window->findChild<QPushButton*>("viewMailqButton")->click();
    const QString shown = window->findChild<QPlainTextEdit*>("mailqMessageField")->toPlainText();
    EXPECT_TRUE(shown.startsWith("Queue ID: D32C79D* (active)"));
    EXPECT_TRUE(shown.contains("gus@slow.example (connect to slow.example: Connection timed out after a very long "
                               "wait that the table cannot show whole)"));
    EXPECT_TRUE(shown.endsWith("Subject: stuck\n\nbody"));
    EXPECT_EQ(fake.calls(), QStringList {"/usr/sbin/postcat -h -b -q D32C79D"});
}

TEST_F(WindowTest, FilterNarrowsTheRowsAndTheSummary)
{
    fake.answer("postqueue -j", listing);
    launchAndLogIn();
    window->showMailq();
    auto* filter = window->findChild<QLineEdit*>("mailqFilterField");
    QTest::keyClicks(filter, "REMOTE-four");
    ASSERT_EQ(window->mailqController.rowCount(), 1);
    EXPECT_EQ(cell(*window, 0, MailQueueModel::Recipient), "erin@remote-four.example");
    EXPECT_EQ(window->findChild<QLabel*>("mailqSummaryField")->text(),
              "1 of 2 messages, 1 of 3 recipients, 0 deferred, 1 held");
    filter->clear();
    EXPECT_EQ(window->mailqController.rowCount(), 3);
}

TEST_F(WindowTest, OpeningTheTabListsAndATimerKeepsListing)
{
    fake.answer("postqueue -j", listing);
    launchAndLogIn();
    fake.clearCalls();
    ui()->mailQueueItem->trigger();
    EXPECT_EQ(fake.countCalls("postqueue -j"), 1);
    EXPECT_EQ(window->mailqController.rowCount(), 3);
    auto* timer = window->findChild<QTimer*>("mailqRefreshTimer");
    ASSERT_TRUE(timer);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 30'000);
    ui()->outgoingItem->trigger();
    EXPECT_FALSE(timer->isActive());
}

TEST_F(WindowTest, DeleteWithNothingSelectedOnlyRelists)
{
    launchAndLogIn();
    window->mailqController.setRows({{{"queueID", "ABCDEF1"}}});
    window->mailqController.setSelectionIndex(-1);
    fake.clearCalls();
    window->manageMailq(ui()->deleteMailqButton);
    EXPECT_TRUE(fake.calls().isEmpty());
    EXPECT_TRUE(waitFor([&] { return fake.countCalls("postqueue -j") == 1; }));
    EXPECT_EQ(window->mailqController.rowCount(), 0);
}

TEST_F(WindowTest, FlushRunsPostqueueMinusFThenRelists)
{
    launchAndLogIn();
    fake.clearCalls();
    window->manageMailq(ui()->flushPostfixQueueButton);
    ASSERT_EQ(fake.calls().size(), 1);
    EXPECT_EQ(fake.calls().at(0), "/usr/sbin/postqueue -f");
    EXPECT_TRUE(waitFor([&] { return fake.countCalls("postqueue -j") == 1; }));
}

TEST_F(WindowTest, LogButtonsPickTheirCommandAndTagTwoChangesNothing)
{
    launchAndLogIn();
    ui()->logField->setPlainText("before");
    ui()->postLogButton->setProperty("tag", 2);
    window->showLog(ui()->postLogButton);
    EXPECT_EQ(ui()->logField->toPlainText(), "before");
    ui()->postLogButton->setProperty("tag", 0);
}

TEST_F(WindowTest, DeInstallCancelRunsNothing)
{
    launchAndLogIn();
    fake.clearCalls();
    Alerts::setNextAnswer(returncode::defaultButton);
    window->deInstall();
    EXPECT_TRUE(fake.calls().isEmpty());
    EXPECT_EQ(Alerts::shown().constLast().title, "Are you sure you want to de-install Brevane?");
    EXPECT_EQ(Alerts::shown().constLast().defaultButton, "Cancel");
    EXPECT_EQ(Alerts::shown().constLast().alternateButton, "De-Install");
}

TEST_F(WindowTest, DeInstallRunsTheScriptThenReloads)
{
    launchAndLogIn();
    fake.clearCalls();
    Alerts::setNextAnswer(returncode::alternateButton);
    window->deInstall();
    const QStringList calls = fake.calls();
    ASSERT_GE(calls.size(), 2);
    // The later jobs first, while the renewal job's plist is still there.
    EXPECT_TRUE(calls.at(0).contains("for i in opendkim certbot"));
    EXPECT_TRUE(calls.at(1).contains("rm -r /usr/local/tarnwick/postfix"));
    EXPECT_GE(fake.countCalls("###Start Brevane###"), 1);
}

// The version query runs as the user, never through the helper.
class VersionQuery
{
public:
    explicit VersionQuery(const QString& reply)
    {
        unprivilegedRunner() = [this, reply](const QStringList& arguments) {
            vectors.append(arguments);
            return reply;
        };
    }
    ~VersionQuery() { unprivilegedRunner() = runWithoutPrivileges; }
    QList<QStringList> vectors;
};

TEST_F(WindowTest, UpdateCheckWithTheSameVersionSaysSo)
{
    VersionQuery query("1.0.0");
    launchAndLogIn();
    fake.clearCalls();
    Alerts::setNextAnswer(returncode::defaultButton);
    window->checkForUpdates();
    EXPECT_EQ(Alerts::shown().constLast().title, "There are no newer versions available.");
    EXPECT_EQ(query.vectors, QList<QStringList>{versionQueryCommand()});
    EXPECT_EQ(fake.countCalls("curl"), 0);
}

TEST_F(WindowTest, ANewerVersionOpensTheDownloadPageOnlyOnOk)
{
    VersionQuery query("9.9.9");
    launchAndLogIn();
    OpenedPages browser;

    Alerts::setNextAnswer(returncode::alternateButton); // "Cancel"
    window->checkForUpdates();
    EXPECT_EQ(Alerts::shown().constLast().title, "An update for Brevane is available.");
    EXPECT_TRUE(browser.pages.isEmpty());

    Alerts::setNextAnswer(returncode::defaultButton); // "OK"
    window->checkForUpdates();
    EXPECT_EQ(browser.pages, QList<QUrl>{pageForTag(80)});
}

TEST_F(WindowTest, AnUnreachableSiteIsAFailedCheckThatOpensNothing)
{
    VersionQuery query("");
    launchAndLogIn();
    OpenedPages browser;
    Alerts::setNextAnswer(returncode::defaultButton);
    window->checkForUpdates();
    EXPECT_EQ(Alerts::shown().constLast().title, "The update check failed.");
    EXPECT_TRUE(browser.pages.isEmpty());
}

TEST_F(WindowTest, AClickSelectsTheWholeMessageAndDeleteNamesItsRecipients)
{
    fake.answer("postqueue -j", listing);
    launchAndLogIn();
    ui()->mailQueueItem->trigger();
    QTableView* table = ui()->mailqTable;
    const QRect gus = table->visualRect(window->mailqController.index(1, MailQueueModel::Recipient));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, gus.center());
    EXPECT_EQ(window->mailqController.selectionIndexes(), (QList<int> {0, 1}));
    fake.clearCalls();
    window->manageMailq(ui()->deleteMailqButton);
    EXPECT_EQ(Alerts::shown().constLast().title,
              "Delete the message from root@probe.local to frank@slow.example, gus@slow.example?");
    // Escape is Cancel, never the Delete beside it.
    auto* question = window->findChild<QMessageBox*>();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->textFormat(), Qt::PlainText) << "addresses are never markup";
    QTest::keyClick(question, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return fake.countCalls("postqueue -j") == 1; }));
    EXPECT_EQ(fake.countCalls("postsuper"), 0);
    // Taking one recipient out of the selection takes out its message.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, gus.center());
    EXPECT_TRUE(window->mailqController.selectionIndexes().isEmpty());
}

TEST_F(WindowTest, TheMessagePaneFollowsReleaseAndRequeue)
{
    fake.answer("postqueue -j", listing);
    fake.answer("postcat -h -b -q CB07F9A", "Subject: held\\n");
    fake.answer("postcat -h -b -q 7D1E2F3", "Received: again\\nSubject: held\\n");
    launchAndLogIn();
    window->showMailq();
    window->mailqController.setSelectionIndex(2);
    window->viewMailqMessage();
    auto* pane = window->findChild<QPlainTextEdit*>("mailqMessageField");
    ASSERT_TRUE(pane->toPlainText().startsWith("Queue ID: CB07F9A! (hold)"));

    QString released = QString::fromLatin1(listing).replace("\"hold\"", "\"deferred\"");
    fake.reanswer("postqueue -j", released);
    window->findChild<QPushButton*>("releaseMailqButton")->click();
    EXPECT_TRUE(waitFor([&] { return pane->toPlainText().startsWith("Queue ID: CB07F9A (deferred)"); }))
        << pane->toPlainText().toStdString();

    // Postfix first lists it in the maildrop under its old ID, then under a new one.
    fake.reanswer("postqueue -j", QString(released).replace("\"deferred\"", "\"maildrop\""));
    window->findChild<QPushButton*>("requeueMailqButton")->click();
    EXPECT_TRUE(waitFor([&] { return pane->toPlainText().contains("Queue ID: CB07F9A (maildrop)"); }));
    EXPECT_TRUE(pane->toPlainText().startsWith("Requeued: Postfix picks it up again under a new queue ID.\n"));
    fake.reanswer("postqueue -j", QString(released).replace("CB07F9A", "7D1E2F3").replace("\"message_size\": 70", "\"message_size\": 170"));
    window->mailqController.setSelectionIndex(-1);
    window->showMailq();
    EXPECT_TRUE(pane->toPlainText().startsWith("Requeued: its queue ID was CB07F9A.\nQueue ID: 7D1E2F3 (deferred)"))
        << pane->toPlainText().toStdString();
    EXPECT_TRUE(pane->toPlainText().endsWith("Received: again\nSubject: held"));
    EXPECT_EQ(window->mailqController.selectedQueueIDs(), QStringList {"7D1E2F3"});

    fake.reanswer("postqueue -j", "");
    window->showMailq();
    EXPECT_TRUE(pane->toPlainText().endsWith("The message is no longer in the queue."));
}

#include "QueueWindowTest.moc"
