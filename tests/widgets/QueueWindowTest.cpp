#include "WindowFixture.h"

#include "maintenance/MakerSite.h"
#include "maintenance/ShellCommand.h"

#include <QDesktopServices>

using namespace brevane;

namespace {

const char listing[] = "-Queue ID-  --Size-- ----Arrival Time---- -Sender/Recipient-------\\n"
                       "D32C79D*        262 Tue Dec  8 00:41:10  root@probe.local\\n"
                       "                                         frank@slow.example\\n"
                       "\\n"
                       "CB07F9A!        270 Tue Dec  8 00:41:10  root@probe.local\\n"
                       "                                         erin@remote-four.example\\n"
                       "\\n"
                       "-- 1 Kbytes in 2 Requests.\\n";

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

TEST_F(WindowTest, QueueIsListedOneRowPerRecipientWithTheFirstSelected)
{
    fake.answer("postqueue -p", listing);
    launchAndLogIn();
    window->showMailq();
    ASSERT_EQ(window->mailqController.rowCount(), 2);
    EXPECT_EQ(window->mailqController.arrangedObjects().at(0).value("queueID"), "D32C79D*");
    EXPECT_EQ(window->mailqController.arrangedObjects().at(0).value("time"), "Tue Dec 8 00:41:10");
    EXPECT_EQ(window->mailqController.selectionIndexes(), QList<int>{0});
    EXPECT_FALSE(ui()->progressIndicator->isVisible());
}

TEST_F(WindowTest, DeletingSelectedRowsHandsBareIdsToPostsuperAndRelists)
{
    fake.answer("postqueue -p", listing);
    launchAndLogIn();
    window->showMailq();
    window->mailqController.selectionModel()->select(window->mailqController.index(1, 0),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    fake.clearCalls();
    window->manageMailq(ui()->deleteMailqButton);
    const QStringList calls = fake.calls();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls.at(0), "/usr/bin/sudo /usr/sbin/postsuper -d D32C79D");
    EXPECT_EQ(calls.at(1), "/usr/bin/sudo /usr/sbin/postsuper -d CB07F9A");
    EXPECT_EQ(window->mailqController.arrangedObjects().at(0).value("queueID"), "D32C79D*");
    EXPECT_TRUE(waitFor([&] { return fake.countCalls("postqueue -p") == 1; }));
}

TEST_F(WindowTest, DeleteWithNothingSelectedOnlyRelists)
{
    launchAndLogIn();
    window->mailqController.setRows({{{"queueID", "ABC"}}});
    window->mailqController.setSelectionIndex(-1);
    fake.clearCalls();
    window->manageMailq(ui()->deleteMailqButton);
    EXPECT_TRUE(fake.calls().isEmpty());
    EXPECT_TRUE(waitFor([&] { return fake.countCalls("postqueue -p") == 1; }));
    EXPECT_EQ(window->mailqController.rowCount(), 0);
}

TEST_F(WindowTest, FlushRunsPostqueueMinusFThenRelists)
{
    launchAndLogIn();
    fake.clearCalls();
    window->manageMailq(ui()->flushPostfixQueueButton);
    ASSERT_EQ(fake.calls().size(), 1);
    EXPECT_EQ(fake.calls().at(0), "/usr/sbin/postqueue -f");
    EXPECT_TRUE(waitFor([&] { return fake.countCalls("postqueue -p") == 1; }));
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
    ASSERT_FALSE(calls.isEmpty());
    EXPECT_TRUE(calls.at(0).contains("rm -r /usr/local/tarnwick/postfix"));
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

#include "QueueWindowTest.moc"
