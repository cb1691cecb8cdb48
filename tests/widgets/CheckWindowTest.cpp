// The window's side of the check: what it shows after the root-side check
// reported, and lights that need the service itself.
#include "WindowFixture.h"
#include "privileged/TaskWrapper.h"
#include "shell/StatusLight.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace {

const char refusedReport[] = "check-postfix: said postfix: fatal: bad numerical configuration: "
                             "message_size_limit = 1O240000\\ncheck-postfix: result refused\\n"
                             "check-postfix: previous up\\n";

} // namespace

TEST_F(WindowTest, ARefusedConfigurationIsQuotedAndTheFormsKept)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    fake.answer("check-postfix: ", refusedReport);
    launchAndLogIn();
    for (const char* label : {"Start Postfix", "Restart Postfix"}) {
        Alerts::resetRecord();
        fake.clearCalls();
        ui()->customField->setPlainText("message_size_limit = 1O240000");
        ui()->postfixItem->setText(label);
        window->Postfix(ui()->postfixItem);
        ASSERT_EQ(Alerts::shown().size(), 1) << label;
        EXPECT_EQ(Alerts::shown().constFirst().title, "Postfix refused the new configuration.");
        EXPECT_EQ(Alerts::shown().constFirst().message,
                  "Postfix said:\npostfix: fatal: bad numerical configuration: message_size_limit = 1O240000\n\n"
                  "Look at the custom lines field. Brevane put the previous configuration back, and Postfix runs "
                  "on it.");
        // What was typed stays, to be mended; the check loaded the job itself.
        EXPECT_EQ(ui()->customField->toPlainText(), "message_size_limit = 1O240000");
        EXPECT_EQ(fake.countCalls("launchctl load -w /Library/LaunchDaemons/com.dadarozudedarid.postfix.plist"), 0);
        EXPECT_EQ(fake.countCalls("sed -n '/^###Start Custom Config###$/"), 0) << "the forms were read back";
    }
}

TEST_F(WindowTest, ASilentRunBringsPostfixBackAndSaysSo)
{
    launchAndLogIn();
    fake.clearCalls();
    ui()->postfixItem->setText("Restart Postfix");
    window->Postfix(ui()->postfixItem);
    EXPECT_EQ(fake.countCalls("launchctl load -w /Library/LaunchDaemons/com.dadarozudedarid.postfix.plist"), 1);
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().constFirst().message, "The privileged run did not report back.");
}

TEST_F(WindowTest, ALoadedJobWithoutAMasterShowsRedAndWhy)
{
    fake.answer("grep com.dadarozudedarid.postfix",
                "YES\\nDOWN\\nDec  8 vm postfix/postfix-script[9]: fatal: the Postfix mail system is not running\\n");
    fake.answer("grep com.dadarozudedarid.fetchmail",
                "YES\\nLOG fetchmail: connection to localhost:pop3 failed: Connection refused.\\n"
                "LOG fetchmail: Query status=2 (SOCKET)\\n");
    launchAndLogIn();
    window->checkStatusLights();
    EXPECT_EQ(ui()->postfixItem->text(), "Restart Postfix");
    EXPECT_EQ(ui()->smtp_light->imageName(), "red");
    EXPECT_EQ(ui()->smtp_light->toolTip(), "Postfix is loaded but not running. Last lines logged:\n"
                                           "Dec  8 vm postfix/postfix-script[9]: fatal: the Postfix mail system is "
                                           "not running");
    EXPECT_EQ(ui()->fetchmailButton->text(), "Restart Fetchmail");
    EXPECT_EQ(ui()->fetchmail_light->imageName(), "red");
    EXPECT_TRUE(ui()->fetchmail_light->toolTip().endsWith("fetchmail: Query status=2 (SOCKET)"));
}

TEST_F(WindowTest, RestoreAsksWithTheTimeSavedThenRestarts)
{
    fake.answer("  saved", "2026-12-08 13:50:00 UTC\\n");
    fake.answer("  restore", "check-postfix: result restored\\ncheck-postfix: previous up\\n");
    launchAndLogIn();
    fake.clearCalls();
    Alerts::setNextAnswer(brevane::returncode::defaultButton);
    ui()->restoreLastWorkingAction->trigger();
    ASSERT_TRUE(waitFor([] { return Alerts::shown().size() == 2; }));
    EXPECT_TRUE(Alerts::shown().at(0).message.contains("saved 2026-12-08 13:50:00 UTC"));
    EXPECT_EQ(Alerts::shown().at(1).title, "The last working configuration is back.");
    EXPECT_EQ(Alerts::shown().at(1).message, "It was saved on 2026-12-08 13:50:00 UTC. Postfix runs on it.");
    EXPECT_GE(fake.countCalls("sed -n '/^###Start Custom Config###$/"), 1) << "the forms show what is back";
}

TEST_F(WindowTest, RestoreShowsTheRestartStateOnceItsQuestionIsGone)
{
    fake.answer("  saved", "2026-12-08 13:50:00 UTC\\n");
    fake.answer("  restore", "check-postfix: result restored\\ncheck-postfix: previous up\\n");
    launchAndLogIn();
    ui()->restoreLastWorkingAction->trigger();
    QPointer<QMessageBox> question = window->findChild<QMessageBox*>();
    ASSERT_TRUE(question);
    // What the window shows while the restore's own command runs.
    QStringList during;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (during.isEmpty() && window->unixTask()->isRunning())
            during = {ui()->smtp_light->imageName(), ui()->progressText->text(),
                      question && question->isVisible() ? "question shown" : "question gone"};
    });
    sampler.start(0);
    for (QAbstractButton* button : question->buttons())
        if (button->text() == "Restore")
            button->click();
    EXPECT_EQ(during, (QStringList {"yellow", "Restarting Postfix\u2026", "question gone"}));
    for (QMessageBox* answer : window->findChildren<QMessageBox*>())
        answer->done(0);
}

TEST_F(WindowTest, RestoreWithNothingSavedSaysSo)
{
    launchAndLogIn();
    fake.clearCalls();
    ui()->restoreLastWorkingAction->trigger();
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().constFirst().title, "There is no working configuration to restore.");
    EXPECT_EQ(fake.countCalls("sed -n '/^###Start Custom Config###$/"), 0) << "nothing was restored";
}

TEST_F(WindowTest, AnUnsavedCopyIsToldAfterARestartTheCheckRanAlone)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    fake.answer("check-postfix: ", "check-postfix: unsaved cp: error writing 'x': No space left on device\\n"
                                   "check-postfix: result up\\n");
    launchAndLogIn();
    fake.clearCalls();
    ui()->postfixItem->setText("Restart Postfix");
    window->Postfix(ui()->postfixItem);
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().constFirst().message, "Applied, but the last working configuration could not be saved: "
                                                    "cp: error writing 'x': No space left on device");
    // The check stops and starts Postfix itself, under its lock: a stop
    // from the window could cut another window's apply short.
    EXPECT_EQ(fake.countCalls("launchctl unload"), 0);
    EXPECT_EQ(fake.countCalls("launchctl load"), 0);
}
