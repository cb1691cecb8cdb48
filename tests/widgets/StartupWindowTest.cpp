#include "WindowFixture.h"
#include "shell/Controls.h"
#include "shell/UserDefaults.h"

#include <QSettings>
#include <QTemporaryFile>

using namespace brevane;

TEST_F(WindowTest, RefusesAnythingButLeopardWithTheQuitAlert)
{
    QTemporaryFile plist;
    ASSERT_TRUE(plist.open());
    plist.write("<plist><dict><key>ProductVersion</key><string>10.6.3</string>"
                "<key>ProductBuildVersion</key><string>10D573</string></dict></plist>");
    plist.flush();
    qputenv("BREVANE_SYSTEM_VERSION_PLIST", plist.fileName().toUtf8());
    Alerts::setNextAnswer(returncode::defaultButton);
    const int beeps = Alerts::beepCount();
    EXPECT_FALSE(WindowController::initialize());
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().at(0).title, "This version of Brevane will only run on Mac OS X Leopard");
    EXPECT_EQ(Alerts::shown().at(0).message, "Sorry. The application will now quit.");
    EXPECT_EQ(Alerts::shown().at(0).defaultButton, "Quit");
    EXPECT_EQ(Alerts::beepCount(), beeps + 1);

    plist.resize(0);
    plist.write("<plist><dict><key>ProductVersion</key><string>10.5.8</string></dict></plist>");
    plist.flush();
    EXPECT_TRUE(WindowController::initialize());
    qunsetenv("BREVANE_SYSTEM_VERSION_PLIST");
}

TEST_F(WindowTest, ChoiceListsAreFilledWhenTheWindowLoads)
{
    ASSERT_EQ(window->protocolController.rowCount(), 7);
    EXPECT_EQ(window->protocolController.arrangedObjects().at(2).value("value"), "AUTO");
    ASSERT_EQ(window->yesnoController.rowCount(), 2);
    EXPECT_EQ(window->yesnoController.arrangedObjects().at(0).value("value"), "YES");
    EXPECT_FALSE(window->openDataFileFromFinder());
    EXPECT_EQ(ui()->luser_relay_popup->itemText(0), "");
    EXPECT_EQ(ui()->luser_relay_popup->itemText(1), "/dev/null");
}

TEST_F(WindowTest, WithTheBoxOffTheSheetAsksWithAnEmptyPassword)
{
    window->loginUi()->savePasswordInKeychain->setChecked(false);
    window->applicationDidFinishLaunching();
    EXPECT_TRUE(window->loginPanel()->isVisible());
    EXPECT_TRUE(window->loginUi()->passwordField->text().isEmpty());
    EXPECT_FALSE(window->loginUi()->administratorField->text().isEmpty());
    EXPECT_TRUE(fake.calls().isEmpty());
}

TEST_F(WindowTest, AWrongPasswordBeepsAndKeepsTheSheet)
{
    window->loginUi()->savePasswordInKeychain->setChecked(false);
    window->loginUi()->administratorField->setText("admin");
    window->applicationDidFinishLaunching();
    window->loginUi()->passwordField->setText("bad");
    const int beeps = Alerts::beepCount();
    window->doLogin();
    EXPECT_EQ(Alerts::beepCount(), beeps + 1);
    EXPECT_TRUE(window->loginPanel()->isVisible());
    EXPECT_EQ(window->loginUi()->passwordInfoField->text(), "Access failed : Cannot authenticate the Administrator.");
    EXPECT_EQ(window->loginUi()->passwordField->selectedText(), "bad");
    EXPECT_TRUE(fake.calls().isEmpty());
}

TEST_F(WindowTest, StartUpChecksInstallUnloadTheSystemJobsAndListUsers)
{
    fake.answer("grep org.postfix.master", "YES\\n");
    fake.answer("grep org.catb.fetchmail", "YES\\n");
    fake.answer("dscl . list ./users uid", "alice\\nbob\\n\\n");
    launchAndLogIn();
    EXPECT_FALSE(window->loginPanel()->isVisible());

    const QStringList calls = fake.calls();
    ASSERT_FALSE(calls.isEmpty());
    // No server tree on this machine: the installation script runs first.
    EXPECT_TRUE(calls.at(0).contains("gnutar -xzpf postfix.tar.gz -C /")) << calls.at(0).toStdString();
    EXPECT_EQ(fake.countCalls("launchctl unload -w /System/Library/LaunchDaemons/org.postfix.master*"), 1);
    EXPECT_EQ(fake.countCalls(
                  "launchctl unload -w /System/Library/LaunchDaemons/org.catb.fetchmail* ; fetchmail -q"),
              1);
    EXPECT_EQ(fake.countCalls("launchctl unload -w /System/Library/LaunchDaemons/edu.washington"), 0);
    ASSERT_EQ(ui()->luser_relay_popup->count(), 4);
    EXPECT_EQ(ui()->luser_relay_popup->itemText(2), "alice");
    EXPECT_EQ(ui()->luser_relay_popup->itemText(3), "bob");
    // The reload ran: the Postfix block was read back.
    EXPECT_GE(fake.countCalls("###Start Brevane###"), 2);
}

TEST_F(WindowTest, NoMatchingUsersAddNothing)
{
    launchAndLogIn();
    EXPECT_EQ(ui()->luser_relay_popup->count(), 2);
}

TEST_F(WindowTest, ADocumentOpenedAtLaunchSuppressesTheReload)
{
    EXPECT_FALSE(window->applicationOpenFile("/nonexistent/settings.brvn"));
    EXPECT_TRUE(window->openDataFileFromFinder());
    Alerts::resetRecord();
    launchAndLogIn();
    EXPECT_EQ(fake.countCalls("###Start Brevane###"), 0);
    EXPECT_EQ(fake.countCalls("dscl . list"), 1);
}

TEST_F(WindowTest, TheLastTabIsRestoredAndRememberedAtQuit)
{
    UserDefaults::setValue("lastTabUsed", "Mail Log");
    launchAndLogIn();
    EXPECT_EQ(ui()->tabView->currentWidget(), ui()->mailLogPage);
    EXPECT_TRUE(ui()->mailLogItem->isChecked());

    window->selectTabViewItem(ui()->mailQueueItem);
    window->smartHostController.addObject({{"location", "Office"}, {"smartHostName", "smtp.office.example"}});
    fake.clearCalls();
    window->applicationWillTerminate();
    EXPECT_EQ(UserDefaults::value("lastTabUsed"), "Mail Queue");
    ASSERT_EQ(fake.calls().size(), 1);
    EXPECT_TRUE(fake.calls().at(0).contains(
        "> /usr/local/tarnwick/postfix/LaunchDaemons/.smartHosts"));
}

TEST_F(WindowTest, AnEmptyRelayHostListIsStillWrittenAtQuit)
{
    launchAndLogIn();
    fake.clearCalls();
    window->applicationWillTerminate();
    ASSERT_EQ(fake.countCalls(".smartHosts"), 1);
    EXPECT_TRUE(fake.calls().at(0).contains("echo '"));
}

TEST_F(WindowTest, NeverStoredLastTabShowsOutgoing)
{
    launchAndLogIn();
    EXPECT_EQ(ui()->tabView->currentWidget(), ui()->outgoingPage);
}

TEST_F(WindowTest, ADocumentGivenAtLaunchIsWhatTheFormsHoldAfterLogin)
{
    QTemporaryFile document;
    ASSERT_TRUE(document.open());
    KeyedArchiver archiver;
    archiver.encodeString("mydomainField", "from-the-document.example");
    archiver.encodeInteger("mynetworks_style", 1);
    document.write(archiver.finishEncoding());
    document.flush();
    // The installed configuration would say otherwise, were it read.
    fake.answer("###Start Brevane###", "###Start Brevane###\\nmydomain=installed.example\\n###End Brevane###\\n");
    ASSERT_TRUE(window->applicationOpenFile(document.fileName()));
    launchAndLogIn();
    EXPECT_EQ(ui()->mydomainField->text(), "from-the-document.example");
    EXPECT_EQ(controls::selectedRow(ui()->mynetworks_style), 1);
}
