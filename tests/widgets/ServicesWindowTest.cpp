#include "WindowFixture.h"
#include "shell/StatusLight.h"

using namespace brevane;

TEST_F(WindowTest, RefreshShowsARunningPostfixAndEnablesItsButtons)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    launchAndLogIn();
    EXPECT_EQ(ui()->postfixItem->text(), "Restart Postfix");
    EXPECT_EQ(ui()->postfixItem->toolTip(), "Option-click to Stop Postfix");
    EXPECT_EQ(ui()->smtp_light->imageName(), "green");
    EXPECT_TRUE(ui()->fetchmailButton->isEnabled());
    EXPECT_TRUE(ui()->flushPostfixQueueButton->isEnabled());
    EXPECT_EQ(ui()->fetchmail_light->imageName(), "red");
    EXPECT_EQ(ui()->fetchmailButton->text(), "Start Fetchmail");
}

TEST_F(WindowTest, RefreshWithPostfixDownDisablesFetchmailAndFlush)
{
    fake.answer("grep com.dadarozudedarid.fetchmail", "YES\\n");
    launchAndLogIn();
    EXPECT_EQ(ui()->postfixItem->text(), "Start Postfix");
    // Blank, not empty: an empty tip would show the label "Start Postfix".
    EXPECT_FALSE(ui()->postfixItem->toolTip().isEmpty());
    EXPECT_TRUE(ui()->postfixItem->toolTip().trimmed().isEmpty());
    EXPECT_FALSE(ui()->fetchmailButton->isEnabled());
    EXPECT_FALSE(ui()->flushPostfixQueueButton->isEnabled());
    EXPECT_EQ(ui()->smtp_light->imageName(), "red");
    EXPECT_EQ(ui()->fetchmailButton->text(), "Restart Fetchmail");
    EXPECT_EQ(ui()->fetchmail_light->imageName(), "green");
}

TEST_F(WindowTest, MissingCertificatesUntickAndDisableSSL)
{
    launchAndLogIn();
    // This machine has no test certificates in /System/Library/OpenSSL/certs.
    ui()->enableSSL->setChecked(true);
    ui()->requireSSL->setChecked(true);
    window->checkStatusLights();
    EXPECT_EQ(ui()->ssl_light->imageName(), "red");
    EXPECT_EQ(ui()->ssl_light_info->text(), "SSL cert not available");
    EXPECT_FALSE(ui()->enableSSL->isChecked());
    EXPECT_FALSE(ui()->enableSSL->isEnabled());
    EXPECT_FALSE(ui()->requireSSL->isChecked());
    EXPECT_FALSE(ui()->requireSSL->isEnabled());
}

TEST_F(WindowTest, TurningRelayAuthenticationOffEmptiesTheAccount)
{
    launchAndLogIn();
    ui()->enableSASLClient->setChecked(true);
    ui()->smartHostUserID->setText("joe");
    ui()->smartHostPassword->setText("secret");
    window->enableSSL(ui()->enableSASLClient);
    EXPECT_EQ(ui()->smartHostUserID->text(), "joe");
    ui()->enableSASLClient->click();
    EXPECT_FALSE(ui()->enableSASLClient->isChecked());
    EXPECT_TRUE(ui()->smartHostUserID->text().isEmpty());
    EXPECT_TRUE(ui()->smartHostPassword->text().isEmpty());
}

TEST_F(WindowTest, SSLServicesWaitForACertificateButPlainOnesDoNot)
{
    launchAndLogIn();
    ASSERT_EQ(ui()->ssl_light->imageName(), "red");
    window->selectTabViewItem(ui()->mailQueueItem);
    fake.clearCalls();
    Alerts::resetRecord();
    window->UW(ui()->imapsItem);
    EXPECT_TRUE(fake.calls().isEmpty());
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().at(0).title, "SSL Mode requires an SSL cert to be installed.");
    EXPECT_EQ(Alerts::shown().at(0).message,
              "Either create a test cert or install a live cert from a Certification Authority.");
    EXPECT_EQ(ui()->tabView->currentWidget(), ui()->mailServerPage);

    window->UW(ui()->pop3Item);
    EXPECT_EQ(fake.countCalls("launchctl load -w /Library/LaunchDaemons/com.dadarozudedarid.uw_pop3.plist"), 1);
    ui()->pop3sItem->setText("Stop POP3s");
    window->UW(ui()->pop3sItem);
    EXPECT_EQ(fake.countCalls("launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.uw_pop3s.plist"), 1);
}

TEST_F(WindowTest, StoppingPostfixAlsoStopsAListedFetchmail)
{
    fake.answer("grep com.dadarozudedarid.fetchmail", "YES\\n");
    launchAndLogIn();
    fake.clearCalls();
    ui()->postfixItem->setText("Stop Postfix");
    window->Postfix(ui()->postfixItem);
    const QStringList calls = fake.calls();
    ASSERT_GE(calls.size(), 3);
    EXPECT_TRUE(calls.at(0).endsWith("launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.postfix.plist"));
    EXPECT_TRUE(calls.at(1).contains("grep com.dadarozudedarid.fetchmail"));
    EXPECT_TRUE(calls.at(2).endsWith("launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.fetchmail.plist"));
    EXPECT_FALSE(ui()->progressIndicator->isVisible());
}

TEST_F(WindowTest, AnUnknownPostfixLabelRunsNothingButRefreshes)
{
    launchAndLogIn();
    fake.clearCalls();
    ui()->postfixItem->setText("Whatever");
    window->Postfix(ui()->postfixItem);
    EXPECT_EQ(fake.countCalls("launchctl load"), 0);
    EXPECT_EQ(fake.countCalls("launchctl unload"), 0);
    EXPECT_EQ(ui()->smtp_light->imageName(), "red");
    EXPECT_EQ(ui()->postfixItem->text(), "Start Postfix");
}

// The script refused a custom line as root and wrote nothing: the alert
// quotes it, Start leaves Postfix down, Restart brings back the old files.
TEST_F(WindowTest, ARefusedCustomLineIsNamedAndStartsNothing)
{
    fake.answer("checkCustomLines", "Refused custom line: daemon_directory = /home/attacker/x\\n");
    launchAndLogIn();
    for (const char* label : {"Start Postfix", "Restart Postfix"}) {
        fake.clearCalls();
        ui()->postfixItem->setText(label);
        window->Postfix(ui()->postfixItem);
        ASSERT_FALSE(Alerts::shown().isEmpty());
        EXPECT_EQ(Alerts::shown().constLast().title, "The Postfix configuration was not written.");
        EXPECT_TRUE(Alerts::shown().constLast().message.contains("\u201cdaemon_directory = /home/attacker/x\u201d"));
        EXPECT_EQ(fake.countCalls("launchctl load"), QString(label) == "Start Postfix" ? 0 : 1) << label;
    }
}

TEST_F(WindowTest, TheServicesMenuOffersTheAltClickActions)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    fake.answer("grep com.dadarozudedarid.fetchmail", "YES\\n");
    launchAndLogIn();
    ASSERT_TRUE(ui()->stopPostfixAction->isEnabled());
    ASSERT_TRUE(ui()->stopFetchmailAction->isEnabled());

    fake.clearCalls();
    ui()->stopFetchmailAction->trigger();
    EXPECT_TRUE(fake.calls().value(0).endsWith("launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.fetchmail.plist"));
    fake.clearCalls();
    ui()->stopPostfixAction->trigger();
    EXPECT_TRUE(fake.calls().value(0).endsWith("launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.postfix.plist"));

    ui()->postfixConfigAction->trigger();
    EXPECT_EQ(ui()->tabView->currentWidget(), ui()->mailLogPage);
    EXPECT_TRUE(ui()->logField->toPlainText().contains("These are the active Postfix Configuration Parameters"));
    EXPECT_EQ(ui()->postLogButton->text(), "Postfix Log");
}
