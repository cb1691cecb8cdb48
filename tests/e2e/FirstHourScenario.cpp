// A new administrator's first hour with Brevane, on a real machine (the
// sandbox): log in, start Postfix, send and receive mail, clean the queue,
// serve POP3 and IMAP, make the test certificate, fetch mail from a remote
// account, keep the settings in a document, read the log, check for updates,
// stop everything and de-install. Every step goes through the window's own
// actions and then looks at the machine itself: ports, files, mailboxes,
// launchd jobs.
//
// The steps share one window and build on each other, so they run in order.

#include "SystemProbes.h"
#include "certificates/AcmePanel.h"
#include "deliverability/DeliverabilityTab.h"
#include "shell/Alerts.h"
#include "shell/Controls.h"
#include "shell/StatusLight.h"
#include "shell/WindowController.h"
#include "ui_LoginPanel.h"
#include "ui_MainWindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <memory>

using namespace e2e;

namespace {

const QString serverRoot = QStringLiteral("/usr/local/tarnwick/postfix");
const QString configDirectory = QStringLiteral("/usr/local/tarnwick/postfix/etc");
const QString runControl = QStringLiteral("/usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc");
const QString certificateFolder = QStringLiteral("/System/Library/OpenSSL/certs");
const QStringList serviceWords{QStringLiteral("postfix"), QStringLiteral("fetchmail"), QStringLiteral("uw_imap"),
                               QStringLiteral("uw_imaps"), QStringLiteral("uw_pop3"), QStringLiteral("uw_pop3s")};

QString plistLink(const QString& word)
{
    return QStringLiteral("/Library/LaunchDaemons/com.dadarozudedarid.%1.plist").arg(word);
}

QString label(const QString& word)
{
    return QStringLiteral("com.dadarozudedarid.") + word;
}

QString postconf(const QString& parameter)
{
    return runProgram(QStringLiteral("/usr/sbin/postconf"), {QStringLiteral("-c"), configDirectory,
                                                             QStringLiteral("-h"), parameter})
        .output.trimmed();
}

QString postqueue()
{
    return runProgram(QStringLiteral("/usr/sbin/postqueue"), {QStringLiteral("-p")}).output;
}

/// A message is in a mailbox once its subject line is.
bool mailboxHolds(const QString& user, const QString& subject)
{
    return mailbox(user).contains(QStringLiteral("Subject: ") + subject);
}

QStringList popupItems(const QComboBox* popup)
{
    QStringList items;
    for (int i = 0; i < popup->count(); ++i)
        items.append(popup->itemText(i));
    return items;
}

} // namespace

class FirstHour : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // The administrator's settings start empty, as on a first launch.
        QSettings().clear();
        window = new WindowController;
        window->show();
    }

    static void TearDownTestSuite()
    {
        if (versionServer) {
            versionServer->terminate();
            versionServer->waitForFinished(5000);
            delete versionServer;
        }
        delete window;
    }

    void SetUp() override { Alerts::resetRecord(); }

    static Ui::MainWindow* ui() { return window->ui(); }

    static QString documentPath() { return Setting::workDirectory() + QStringLiteral("/first-hour.brvn"); }

    static inline WindowController* window = nullptr;
    static inline QProcess* versionServer = nullptr;
};

TEST_F(FirstHour, Step01_LogsInThroughTheSheetAndInstallsTheServer)
{
    ASSERT_TRUE(WindowController::initialize()) << "the platform layer's SystemVersion.plist is not Leopard's";
    window->loginUi()->savePasswordInKeychain->setChecked(false);
    window->applicationDidFinishLaunching();
    ASSERT_TRUE(window->loginPanel()->isVisible());
    // The sheet offers the administrator's full name, as the Mac does.
    EXPECT_EQ(window->loginUi()->administratorField->text(), "First Administrator");

    SCOPED_TRACE("a wrong password keeps the sheet");
    window->loginUi()->passwordField->setText(QStringLiteral("not the password"));
    QTest::mouseClick(window->loginUi()->loginButton, Qt::LeftButton);
    EXPECT_TRUE(window->loginPanel()->isVisible());
    EXPECT_EQ(window->loginUi()->passwordInfoField->text(), "Access failed : Cannot authenticate the Administrator.");
    EXPECT_FALSE(QFileInfo::exists(serverRoot));

    SCOPED_TRACE("the real password logs in and the start-up checks install the server");
    window->loginUi()->passwordField->setText(Setting::adminPassword());
    QTest::mouseClick(window->loginUi()->loginButton, Qt::LeftButton);
    ASSERT_FALSE(window->loginPanel()->isVisible()) << window->loginUi()->passwordInfoField->text().toStdString();

    EXPECT_TRUE(QFileInfo(serverRoot).isDir());
    EXPECT_TRUE(QFileInfo::exists(serverRoot + QStringLiteral("/bin/smtpwarden")));
    for (const QString& word : serviceWords) {
        const QFileInfo link(plistLink(word));
        EXPECT_TRUE(link.isSymLink()) << link.filePath().toStdString();
        EXPECT_TRUE(link.exists()) << link.filePath().toStdString() << " points nowhere";
    }
    for (const char* service : {"/etc/pam.d/pop", "/etc/pam.d/imap"}) {
        const QFileInfo link(QString::fromLatin1(service));
        EXPECT_TRUE(link.isSymLink() && link.exists()) << service;
    }
    const QStringList users = popupItems(ui()->luser_relay_popup);
    for (const char* user : {"admin1", "alice", "remote1"})
        EXPECT_TRUE(users.contains(QString::fromLatin1(user))) << users.join(u' ').toStdString();
    EXPECT_FALSE(users.contains("postfix"));
    EXPECT_EQ(ui()->smtp_light->imageName(), "red");
    EXPECT_EQ(ui()->postfixItem->text(), "Start Postfix");
}

TEST_F(FirstHour, Step02_StartPostfixAnswersOnPort25)
{
    ui()->mydomainField->setText(Setting::domain());
    // Outgoing mail goes through the provider's relay, with a login there.
    ui()->relayhostField->setText(QStringLiteral("[relay.unreachable.invalid]:587"));
    ui()->enableSASLClient->setChecked(true);
    ui()->smartHostUserID->setText(QStringLiteral("first.hour"));
    ui()->smartHostPassword->setText(QStringLiteral("relay-secret"));
    // Mail clients log in to send, from the SMTP user list.
    brevane::controls::selectCellAtRow(ui()->saslAuthMethod, 2);
    ui()->sasldb_passwdField->setPlainText(QStringLiteral("roamer:roaming-pw"));
    ASSERT_EQ(ui()->postfixItem->text(), "Start Postfix");
    window->Postfix(ui()->postfixItem);

    ASSERT_TRUE(waitForPort(25, true, 15'000)) << "nothing listens on port 25\n" << launchctlList().toStdString();
    const QString banner = greeting(25);
    EXPECT_TRUE(banner.startsWith(QStringLiteral("220 %1 ESMTP").arg(Setting::domain()))) << banner.toStdString();
    EXPECT_EQ(ui()->smtp_light->imageName(), "green");
    EXPECT_EQ(ui()->postfixItem->text(), "Restart Postfix");
    EXPECT_EQ(ui()->postfixItem->toolTip(), "Option-click to Stop Postfix");
    EXPECT_EQ(jobCount(label("postfix")), 1);
    // The forms show what was installed.
    EXPECT_EQ(ui()->mydomainField->text(), Setting::domain());
    EXPECT_EQ(postconf("mydomain"), Setting::domain());
    EXPECT_EQ(postconf("relayhost"), "[relay.unreachable.invalid]:587");
    EXPECT_EQ(postconf("smtp_sasl_password_maps"), "hash:" + configDirectory + "/sasl_passwd");
    // The relay login is a map Postfix can use from the first start on.
    EXPECT_TRUE(QFileInfo::exists(configDirectory + "/sasl_passwd.db"));
    EXPECT_EQ(ui()->relayhostField->text(), "[relay.unreachable.invalid]:587");
    EXPECT_EQ(ui()->smartHostUserID->text(), "first.hour");
    EXPECT_TRUE(ui()->fetchmailButton->isEnabled());
    EXPECT_EQ(ui()->sasldb_passwdField->toPlainText(), "roamer:roaming-pw");
    EXPECT_TRUE(smtpLoginAccepted(QStringLiteral("roamer@") + Setting::domain(), QStringLiteral("roaming-pw")));
    EXPECT_FALSE(smtpLoginAccepted(QStringLiteral("roamer@") + Setting::domain(), QStringLiteral("wrong-pw")));
}

TEST_F(FirstHour, Step02b_ClientsLogInWithTheirSystemPassword)
{
    // "This machine's user accounts": saslauthd checks the system password,
    // and the user list is gone.
    brevane::controls::selectCellAtRow(ui()->saslAuthMethod, 1);
    ASSERT_EQ(ui()->postfixItem->text(), "Restart Postfix");
    window->Postfix(ui()->postfixItem);
    ASSERT_TRUE(waitForPort(25, true, 15'000)) << launchctlList().toStdString();
    EXPECT_EQ(brevane::controls::selectedRow(ui()->saslAuthMethod), 1);
    EXPECT_TRUE(smtpLoginAccepted(QStringLiteral("alice"), Setting::userPassword()));
    EXPECT_FALSE(smtpLoginAccepted(QStringLiteral("alice"), Setting::userPassword() + "x"));
    EXPECT_FALSE(smtpLoginAccepted(QStringLiteral("roamer@") + Setting::domain(), QStringLiteral("roaming-pw")));

    // Back to the user list for the steps after this one.
    brevane::controls::selectCellAtRow(ui()->saslAuthMethod, 2);
    ui()->sasldb_passwdField->setPlainText(QStringLiteral("roamer:roaming-pw"));
    window->Postfix(ui()->postfixItem);
    ASSERT_TRUE(waitForPort(25, true, 15'000)) << launchctlList().toStdString();
    EXPECT_TRUE(smtpLoginAccepted(QStringLiteral("roamer@") + Setting::domain(), QStringLiteral("roaming-pw")));
}

TEST_F(FirstHour, Step03_MailForALocalUserLandsInHerMailbox)
{
    const QString subject = QStringLiteral("Welcome, Alice");
    ASSERT_TRUE(sendMail(QStringLiteral("admin1@") + Setting::domain(), {QStringLiteral("alice@") + Setting::domain()},
                         subject));
    EXPECT_TRUE(waitUntil([&] { return mailboxHolds(QStringLiteral("alice"), subject); }, 20'000))
        << mailbox(QStringLiteral("alice")).toStdString() << "\n" << postqueue().toStdString();
}

TEST_F(FirstHour, Step03b_DkimSigningFromTheDeliverabilityTabSignsTheNextMail)
{
    window->findChild<QAction*>(QStringLiteral("deliverabilityItem"))->trigger();
    DeliverabilityTab* tab = window->deliverabilityTab();
    tab->findChild<QCheckBox*>(QStringLiteral("dkimSigningBox"))->setChecked(true);
    tab->findChild<QPushButton*>(QStringLiteral("applyDkimButton"))->click();
    ASSERT_TRUE(Alerts::shown().isEmpty()) << Alerts::shown().constFirst().message.toStdString();
    const QString record = tab->findChild<QPlainTextEdit*>(QStringLiteral("dkimRecordField"))->toPlainText();
    EXPECT_TRUE(record.startsWith(QStringLiteral("brevane._domainkey.%1. IN TXT \"v=DKIM1; k=rsa; p=MIIB")
                                      .arg(Setting::domain())))
        << record.toStdString();
    const auto listens = [] { return runProgram("/usr/bin/ss", {"-lxn"}).output.contains("brevane-opendkim/opendkim.sock"); };
    ASSERT_TRUE(waitUntil(listens, 15'000)) << launchctlList().toStdString();
    EXPECT_EQ(postconf("smtpd_milters"), "unix:brevane-opendkim/opendkim.sock");

    const QString subject = QStringLiteral("Signed for Alice");
    ASSERT_TRUE(sendMail(QStringLiteral("admin1@") + Setting::domain(), {QStringLiteral("alice@") + Setting::domain()},
                         subject));
    ASSERT_TRUE(waitUntil([&] { return mailboxHolds(QStringLiteral("alice"), subject); }, 20'000));
    const QString box = mailbox(QStringLiteral("alice"));
    const QString signedMail = box.mid(box.lastIndexOf(QStringLiteral("\nFrom ")));
    // OpenDKIM folds the header: the tags may stand on lines of their own.
    EXPECT_TRUE(signedMail.contains(QStringLiteral("DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/simple; d=%1;")
                                        .arg(Setting::domain())))
        << signedMail.toStdString();
    EXPECT_TRUE(signedMail.contains(QStringLiteral("s=brevane;"))) << signedMail.toStdString();
}

TEST_F(FirstHour, Step04_AStuckMessageIsListedAndDeletedFromTheQueue)
{
    ASSERT_TRUE(sendMail(QStringLiteral("admin1@") + Setting::domain(),
                         {QStringLiteral("bob@unreachable.invalid"), QStringLiteral("carol@unreachable.invalid")},
                         QStringLiteral("Nobody will get this")));
    // One row per recipient, once the message has been queued.
    ASSERT_TRUE(waitUntil(
        [&] {
            window->showMailq();
            return window->mailqController.rowCount() == 2;
        },
        15'000))
        << postqueue().toStdString();
    const auto& rows = window->mailqController.arrangedObjects();
    EXPECT_EQ(rows.at(0).value("queueID").toString().remove(QRegularExpression("[*!#]")),
              rows.at(1).value("queueID").toString().remove(QRegularExpression("[*!#]")));
    QStringList recipients{rows.at(0).value("recipient").toString(), rows.at(1).value("recipient").toString()};
    recipients.sort();
    EXPECT_EQ(recipients, (QStringList{"bob@unreachable.invalid", "carol@unreachable.invalid"}));
    EXPECT_EQ(rows.at(0).value("sender").toString(), QStringLiteral("admin1@") + Setting::domain());

    SCOPED_TRACE("delete the selected rows");
    window->mailqController.selectionModel()->select(
        QItemSelection(window->mailqController.index(0, 0), window->mailqController.index(1, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_EQ(ui()->deleteMailqButton->property("tag").toInt(), 0);
    Alerts::setNextAnswer(brevane::returncode::alternateButton); // "Delete", after the question
    window->manageMailq(ui()->deleteMailqButton);
    const QString question = Alerts::shown().constLast().title;
    EXPECT_TRUE(question.startsWith(QStringLiteral("Delete the message from admin1@%1 to ").arg(Setting::domain())))
        << question.toStdString();
    EXPECT_TRUE(question.contains("bob@unreachable.invalid") && question.contains("carol@unreachable.invalid"));
    // The listing is refreshed 0.4 s later, without anyone asking.
    EXPECT_TRUE(waitUntil([&] { return window->mailqController.rowCount() == 0; }, 3000));
    EXPECT_TRUE(postqueue().contains("Mail queue is empty")) << postqueue().toStdString();
}

TEST_F(FirstHour, Step05_RestartWritesTheNewMessageSizeLimit)
{
    ASSERT_EQ(ui()->postfixItem->text(), "Restart Postfix");
    ui()->messagesizeField->setText(QStringLiteral("20480000"));
    window->Postfix(ui()->postfixItem);
    EXPECT_EQ(postconf("message_size_limit"), "20480000");
    EXPECT_EQ(ui()->messagesizeField->text(), "20480000");
    EXPECT_TRUE(waitForPort(25, true, 15'000));
    EXPECT_TRUE(greeting(25).startsWith("220 ")) << greeting(25).toStdString();
    EXPECT_EQ(jobCount(label("postfix")), 1);
    EXPECT_EQ(ui()->smtp_light->imageName(), "green");
}

TEST_F(FirstHour, Step05b_ATypoInACustomLineLeavesPostfixRunningOnTheLastFiles)
{
    ASSERT_EQ(ui()->postfixItem->text(), "Restart Postfix");
    ui()->customField->setPlainText(QStringLiteral("message_size_limit = 2O480000"));
    window->Postfix(ui()->postfixItem);
    ASSERT_FALSE(Alerts::shown().isEmpty());
    EXPECT_EQ(Alerts::shown().constLast().title, "Postfix refused the new configuration.");
    EXPECT_TRUE(Alerts::shown().constLast().message.startsWith(
        "Postfix said:\npostfix: fatal: bad numerical configuration: message_size_limit = 2O480000"))
        << Alerts::shown().constLast().message.toStdString();
    EXPECT_TRUE(Alerts::shown().constLast().message.contains("Look at the custom lines field."));
    EXPECT_EQ(postconf("message_size_limit"), "20480000");
    EXPECT_TRUE(greeting(25).startsWith("220 ")) << greeting(25).toStdString();
    EXPECT_EQ(ui()->smtp_light->imageName(), "green");
    EXPECT_EQ(ui()->customField->toPlainText(), "message_size_limit = 2O480000");

    SCOPED_TRACE("the last working configuration comes back from the Services menu");
    Alerts::resetRecord();
    Alerts::setNextAnswer(brevane::returncode::defaultButton);
    ui()->restoreLastWorkingAction->trigger();
    ASSERT_EQ(Alerts::shown().size(), 2);
    EXPECT_TRUE(Alerts::shown().at(0).message.contains(" UTC")) << Alerts::shown().at(0).message.toStdString();
    EXPECT_EQ(Alerts::shown().at(1).title, "The last working configuration is back.");
    EXPECT_TRUE(Alerts::shown().at(1).message.endsWith("Postfix runs on it."));
    EXPECT_EQ(ui()->customField->toPlainText(), "");
    EXPECT_EQ(ui()->messagesizeField->text(), "20480000");
    EXPECT_TRUE(waitForPort(25, true, 15'000));
    EXPECT_EQ(ui()->smtp_light->imageName(), "green");
}

TEST_F(FirstHour, Step06_Pop3ServesAlicesMailAndPop3sNeedsACertificate)
{
    ASSERT_EQ(ui()->pop3Item->text(), "Start POP3");
    window->UW(ui()->pop3Item);
    ASSERT_TRUE(waitForPort(110, true, 10'000)) << launchctlList().toStdString();
    EXPECT_EQ(ui()->pop3_light->imageName(), "green");
    EXPECT_EQ(ui()->pop3Item->text(), "Stop POP3");

    SCOPED_TRACE("a real POP3 client reads Alice's mail");
    const QString credentials = QStringLiteral("alice:") + Setting::userPassword();
    const ProgramResult pop = runProgram(QStringLiteral("curl"), {QStringLiteral("-sS"), QStringLiteral("--user"),
                                                                  credentials, QStringLiteral("pop3://127.0.0.1/1")});
    EXPECT_EQ(pop.exitCode, 0) << pop.output.toStdString();
    EXPECT_TRUE(pop.output.contains("Subject: Welcome, Alice")) << pop.output.toStdString();

    SCOPED_TRACE("POP3 over SSL without a certificate");
    ASSERT_EQ(ui()->ssl_light->imageName(), "red");
    ASSERT_EQ(ui()->pop3sItem->text(), "Start POP3s");
    window->UW(ui()->pop3sItem);
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().at(0).title, "SSL Mode requires an SSL cert to be installed.");
    EXPECT_EQ(Alerts::shown().at(0).message,
              "Either create a test cert or install a live cert from a Certification Authority.");
    EXPECT_EQ(ui()->tabView->currentWidget(), ui()->mailServerPage);
    EXPECT_EQ(jobCount(label("uw_pop3s")), 0);
    EXPECT_FALSE(portAccepts(995));
}

TEST_F(FirstHour, Step06b_ACertificateRunOpensslRefusesLeavesSslOff)
{
    ui()->countryField->setText(QStringLiteral("Germany")); // openssl takes two letters only
    Alerts::setNextAnswer(brevane::returncode::defaultButton);
    window->createSSLCerts();
    for (const char* name : {"imapd.pem", "ipop3d.pem", "smtpd.pem"})
        EXPECT_FALSE(QFileInfo::exists(certificateFolder + u'/' + QString::fromLatin1(name))) << name;
    EXPECT_EQ(ui()->ssl_light->imageName(), "red");
    EXPECT_FALSE(ui()->enableSSL->isEnabled());
    ASSERT_EQ(Alerts::shown().size(), 2);
    EXPECT_EQ(Alerts::shown().at(1).title, "The test certificate was not created.");
}

TEST_F(FirstHour, Step07_TheTestCertificateEnablesImapOverSsl)
{
    ui()->countryField->setText(QStringLiteral("DE"));
    ui()->provinceField->setText(QStringLiteral("Hessen"));
    ui()->localityField->setText(QStringLiteral("Darmstadt"));
    ui()->organisationField->setText(QStringLiteral("Brevane Test"));
    ui()->organisationalunitField->setText(QStringLiteral("Mail"));
    ui()->youremailaddressField->setText(QStringLiteral("postmaster@") + Setting::domain());
    Alerts::setNextAnswer(brevane::returncode::defaultButton); // "Create"
    window->createSSLCerts();
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().at(0).title, "CREATING SSL CERTS FOR TESTING.");
    EXPECT_EQ(Alerts::shown().at(0).defaultButton, "Create");

    for (const char* name : {"imapd.pem", "ipop3d.pem", "smtpd.pem"})
        EXPECT_TRUE(QFileInfo::exists(certificateFolder + u'/' + QString::fromLatin1(name))) << name;
    const QString subject = certificateSubject();
    for (const QString& part :
         {QStringLiteral("C = DE"), QStringLiteral("ST = Hessen"), QStringLiteral("L = Darmstadt"),
          QStringLiteral("O = Brevane Test"), QStringLiteral("OU = Mail"), QStringLiteral("CN = ") + Setting::domain(),
          QStringLiteral("emailAddress = postmaster@") + Setting::domain()})
        EXPECT_TRUE(subject.contains(part)) << part.toStdString() << " not in " << subject.toStdString();
    EXPECT_EQ(ui()->ssl_light->imageName(), "green");
    EXPECT_EQ(ui()->ssl_light_info->text(), "SSL cert is available");
    EXPECT_TRUE(ui()->enableSSL->isEnabled());

    SCOPED_TRACE("IMAP over SSL starts, answers TLS and stops");
    ASSERT_EQ(ui()->imapsItem->text(), "Start IMAPs");
    window->UW(ui()->imapsItem);
    ASSERT_TRUE(waitForPort(993, true, 10'000)) << launchctlList().toStdString();
    QString commonName;
    const QString imapGreeting = tlsGreeting(993, &commonName);
    EXPECT_TRUE(imapGreeting.startsWith("* OK")) << imapGreeting.toStdString();
    EXPECT_EQ(commonName, Setting::domain());
    EXPECT_EQ(ui()->imaps_light->imageName(), "green");
    EXPECT_EQ(ui()->imapsItem->text(), "Stop IMAPs");
    window->UW(ui()->imapsItem);
    EXPECT_TRUE(waitForPort(993, false, 10'000));
    EXPECT_EQ(jobCount(label("uw_imaps")), 0);
    EXPECT_EQ(ui()->imaps_light->imageName(), "red");
    EXPECT_EQ(ui()->imapsItem->text(), "Start IMAPs");
}

TEST_F(FirstHour, Step08_FetchmailCollectsFromTheRemoteAccount)
{
    ASSERT_TRUE(trustTestCertificate());
    ASSERT_EQ(ui()->pop3sItem->text(), "Start POP3s");
    window->UW(ui()->pop3sItem);
    ASSERT_TRUE(waitForPort(995, true, 10'000)) << launchctlList().toStdString();
    EXPECT_EQ(ui()->pop3s_light->imageName(), "green");

    const QString first = QStringLiteral("From far away");
    ASSERT_TRUE(sendMail(QStringLiteral("friend@unreachable.invalid"), {QStringLiteral("remote1@") + Setting::domain()},
                         first));
    ASSERT_TRUE(waitUntil([&] { return mailboxHolds(QStringLiteral("remote1"), first); }, 20'000));

    SCOPED_TRACE("one account row, as typed into the table");
    window->addFetchmailRecord();
    const int row = window->fetchmailController.rowCount() - 1;
    const auto edit = [&](const char* key, const QString& text) {
        const int column = window->fetchmailController.columnKeys().indexOf(QString::fromLatin1(key));
        ASSERT_TRUE(window->fetchmailController.setData(window->fetchmailController.index(row, column), text)) << key;
    };
    edit("server", Setting::domain());
    edit("there", QStringLiteral("remote1"));
    edit("password", Setting::remotePassword());
    edit("here", QStringLiteral("alice"));
    edit("ssl", QStringLiteral("YES"));
    ASSERT_EQ(ui()->fetchmailButton->text(), "Start Fetchmail");
    ASSERT_TRUE(ui()->fetchmailButton->isEnabled());
    window->fetchmail();
    EXPECT_TRUE(Alerts::shown().isEmpty()) << Alerts::shown().value(0).message.toStdString();

    // fetchmail refuses a run-control file others may read.
    const ProgramResult mode
        = runProgram(QStringLiteral("stat"), {QStringLiteral("-c"), QStringLiteral("%a %U"), runControl});
    EXPECT_EQ(mode.output.trimmed(), "600 root");
    EXPECT_EQ(jobCount(label("fetchmail")), 1) << launchctlList().toStdString();
    EXPECT_TRUE(waitUntil([&] { return mailboxHolds(QStringLiteral("alice"), first); }, 30'000))
        << mailbox(QStringLiteral("alice")).toStdString() << fetchmailLog().toStdString();
    EXPECT_TRUE(waitUntil([&] { return !mailboxHolds(QStringLiteral("remote1"), first); }, 10'000));
    EXPECT_EQ(ui()->fetchmail_light->imageName(), "green");
    EXPECT_EQ(ui()->fetchmailButton->text(), "Restart Fetchmail");
    // The table was read back from the file.
    ASSERT_EQ(window->fetchmailController.rowCount(), 1);
    EXPECT_EQ(window->fetchmailController.arrangedObjects().at(0).value("there").toString(), "remote1");

    SCOPED_TRACE("a second apply wakes the daemon that runs");
    const QString second = QStringLiteral("Also from far away");
    ASSERT_TRUE(sendMail(QStringLiteral("friend@unreachable.invalid"), {QStringLiteral("remote1@") + Setting::domain()},
                         second));
    ASSERT_TRUE(waitUntil([&] { return mailboxHolds(QStringLiteral("remote1"), second); }, 20'000));
    // A rewrite in a later second makes the woken daemon re-read its file
    // and start afresh: the path every applied change takes.
    const qint64 written = QFileInfo(runControl).lastModified().toSecsSinceEpoch();
    waitUntil([&] { return QDateTime::currentSecsSinceEpoch() > written; }, 1500);
    window->fetchmail();
    EXPECT_TRUE(waitUntil([&] { return mailboxHolds(QStringLiteral("alice"), second); }, 30'000))
        << fetchmailLog().toStdString();
    EXPECT_EQ(jobCount(label("fetchmail")), 1);
    EXPECT_EQ(processCount(QStringLiteral("fetchmail")), 1);
    EXPECT_EQ(ui()->fetchmailButton->text(), "Restart Fetchmail");
}

TEST_F(FirstHour, Step08b_TheFetchmailLogShowsWhatFetchmailDid)
{
    const ProgramResult mode = runProgram(QStringLiteral("stat"), {QStringLiteral("-c"), QStringLiteral("%a %U:%G"),
                                                                  QStringLiteral("/var/log/fetchmail.log")});
    EXPECT_EQ(mode.output.trimmed(), "640 root:admin");
    const QString polled = QStringLiteral("for remote1 at ") + Setting::domain();
    ASSERT_TRUE(waitUntil([&] { return fetchmailLog().contains(polled); }, 10'000)) << fetchmailLog().toStdString();
    window->showLog(ui()->fetchmailLogButton);
    const QString shown = ui()->logField->toPlainText();
    EXPECT_TRUE(shown.startsWith("This is the contents of the Fetchmail Log at /var/log/fetchmail.log"));
    EXPECT_TRUE(shown.contains(polled)) << shown.toStdString();
}

TEST_F(FirstHour, Step09_TheSettingsDocumentRestoresTheForms)
{
    QFile::remove(documentPath());
    Alerts::setNextFileName(documentPath());
    window->saveDocument();
    ASSERT_TRUE(QFileInfo(documentPath()).size() > 0) << Alerts::shown().value(0).message.toStdString();

    ui()->mydomainField->setText(QStringLiteral("changed.example"));
    ui()->messagesizeField->setText(QStringLiteral("1"));
    ui()->countryField->setText(QStringLiteral("XX"));
    window->fetchmailController.removeAllObjects();

    // The forms were edited since the save: opening the document asks first.
    Alerts::setNextAnswer(brevane::returncode::defaultButton); // "Open"
    ASSERT_TRUE(window->openFile(documentPath()));
    EXPECT_EQ(ui()->mydomainField->text(), Setting::domain());
    EXPECT_EQ(ui()->messagesizeField->text(), "20480000");
    EXPECT_EQ(ui()->countryField->text(), "DE");
    ASSERT_EQ(window->fetchmailController.rowCount(), 1);
    EXPECT_EQ(window->fetchmailController.arrangedObjects().at(0).value("here").toString(), "alice");
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().at(0).defaultButton, "Open");
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(FirstHour, Step10_ThePostfixLogShowsTheNewestEntriesFirst)
{
    ASSERT_EQ(ui()->postLogButton->text(), "Postfix Log");
    window->showLog(ui()->postLogButton);
    // The log itself is read in pieces after the headings.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui()->logField->toPlainText().count(u'\n') > 8; }, 10000))
        << ui()->logField->toPlainText().toStdString();
    QStringList lines = ui()->logField->toPlainText().split(u'\n');
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    ASSERT_GT(lines.size(), 8) << ui()->logField->toPlainText().toStdString();
    EXPECT_EQ(lines.at(0), "This is the contents of the Mail Log at /var/log/mail.log, latest entries listed first.");
    EXPECT_EQ(lines.at(2), "The current Postfix version is " + postconf("mail_version"));
    EXPECT_EQ(lines.at(4), "The current Dovecot version is "
                               + runProgram(QStringLiteral("/usr/sbin/dovecot"), {QStringLiteral("--version")}).output.trimmed());

    // The entries are the file's, last line first.
    QFile log(QStringLiteral("/var/log/mail.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QStringList fileLines = QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    const QStringList shown = lines.mid(6);
    ASSERT_FALSE(fileLines.isEmpty());
    EXPECT_EQ(shown.last(), fileLines.first());
    const qsizetype started = shown.indexOf(QRegularExpression(".*starting the Postfix mail system.*"));
    const qsizetype delivered = shown.indexOf(QRegularExpression(".*to=<alice@.*status=sent.*"));
    ASSERT_GE(started, 0);
    ASSERT_GE(delivered, 0);
    EXPECT_LT(delivered, shown.lastIndexOf(QRegularExpression(".*starting the Postfix mail system.*")));
}

TEST_F(FirstHour, Step11_StoppingPostfixStopsFetchmailToo)
{
    // What holding Option while pressing the item does.
    ui()->postfixItem->setText(QStringLiteral("Stop Postfix"));
    window->Postfix(ui()->postfixItem);
    EXPECT_TRUE(waitForPort(25, false, 15'000));
    EXPECT_EQ(jobCount(label("postfix")), 0);
    EXPECT_EQ(jobCount(label("fetchmail")), 0);
    EXPECT_TRUE(waitUntil([] { return processCount(QStringLiteral("fetchmail")) == 0; }, 10'000));
    EXPECT_EQ(ui()->smtp_light->imageName(), "red");
    EXPECT_EQ(ui()->fetchmail_light->imageName(), "red");
    EXPECT_EQ(ui()->postfixItem->text(), "Start Postfix");
    EXPECT_FALSE(ui()->fetchmailButton->isEnabled());
}

TEST_F(FirstHour, Step11b_RemovingRunningItemsFromTheToolbarStopsTheirServices)
{
    window->Postfix(ui()->postfixItem);
    ASSERT_TRUE(waitForPort(25, true, 15'000)) << launchctlList().toStdString();
    ASSERT_EQ(ui()->imapItem->text(), "Start IMAP");
    window->UW(ui()->imapItem);
    ASSERT_TRUE(waitForPort(143, true, 10'000)) << launchctlList().toStdString();
    EXPECT_TRUE(greeting(143).startsWith(QStringLiteral("* OK"))) << greeting(143).toStdString();
    EXPECT_EQ(ui()->imapItem->text(), "Stop IMAP");
    EXPECT_EQ(ui()->imap_light->imageName(), "green");

    for (QAction* item : {ui()->imapItem, ui()->postfixItem}) {
        ui()->toolbar->removeAction(item);
        window->toolbarDidRemoveItem(item);
    }
    EXPECT_TRUE(waitForPort(143, false, 10'000));
    EXPECT_TRUE(waitForPort(25, false, 15'000));
    EXPECT_EQ(jobCount(label("uw_imap")), 0);
    EXPECT_EQ(jobCount(label("postfix")), 0);

    // Put back, the items show what is running again: nothing.
    for (QAction* item : {ui()->postfixItem, ui()->imapItem}) {
        ui()->toolbar->addAction(item);
        window->toolbarWillAddItem(item);
    }
    EXPECT_EQ(ui()->postfixItem->text(), "Start Postfix");
    EXPECT_EQ(ui()->imapItem->text(), "Start IMAP");
    EXPECT_EQ(ui()->smtp_light->imageName(), "red");
    EXPECT_EQ(ui()->imap_light->imageName(), "red");
}

TEST_F(FirstHour, Step12_TheUpdateCheckAsksTheMakersSite)
{
    const QString root = Setting::workDirectory() + QStringLiteral("/site");
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/software")));
    const auto publish = [&](const QByteArray& version) {
        QFile reply(root + QStringLiteral("/software/version.php"));
        ASSERT_TRUE(reply.open(QIODevice::WriteOnly | QIODevice::Truncate));
        reply.write(version + '\n');
    };
    publish(BREVANE_VERSION);
    versionServer = new QProcess;
    versionServer->setProcessChannelMode(QProcess::ForwardedChannels);
    versionServer->start(QStringLiteral("/usr/bin/python3"),
                         {QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("8765"),
                          QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"), root});
    ASSERT_TRUE(waitForPort(8765, true, 10'000));
    QSettings().setValue(QStringLiteral("makerSite"), QStringLiteral("http://127.0.0.1:8765"));

    Alerts::setNextAnswer(brevane::returncode::defaultButton);
    window->checkForUpdates();
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().at(0).title, "There are no newer versions available.");

    publish("1.7.2");
    Alerts::setNextAnswer(brevane::returncode::alternateButton); // "Cancel": no browser in the sandbox
    window->checkForUpdates();
    ASSERT_EQ(Alerts::shown().size(), 2);
    EXPECT_EQ(Alerts::shown().at(1).title, "An update for Brevane is available.");
    const QString message = Alerts::shown().at(1).message;
    EXPECT_TRUE(message.contains("(version 1.7.2)")) << message.toStdString();
}

// A certificate from a CA (a Pebble test CA on the sandbox's loopback, which
// first-hour.sh starts) replaces the test certificate; IMAPs presents it.
TEST_F(FirstHour, Step12b_ACertificateFromACaReplacesTheTestCertificate)
{
    const QString directory = qEnvironmentVariable("E2E_ACME_DIRECTORY");
    if (directory.isEmpty())
        GTEST_SKIP() << "no test CA in this sandbox";
    window->showAcmePanel();
    brevane::acme::AcmeSettings settings;
    settings.enabled = true;
    settings.directoryUrl = directory;
    settings.email = QStringLiteral("postmaster@") + Setting::domain(); // the host name: the mail domain
    window->acmePanel()->setSettings(settings);
    // A document was opened (step 9): its certificate settings count once the administrator confirms them.
    Alerts::setNextAnswer(brevane::returncode::alternateButton);
    window->obtainAcmeCertificate();
    ASSERT_EQ(Alerts::shown().size(), 1) << Alerts::shown().value(1).message.toStdString();
    EXPECT_EQ(Alerts::shown().at(0).title, "Request a certificate with the settings of a document?");
    EXPECT_EQ(ui()->ssl_light->imageName(), "green");
    const QString installed = window->acmePanel()->findChild<QLabel*>("acmeInstalledInfo")->text();
    EXPECT_TRUE(installed.startsWith(Setting::domain() + ", until ")) << installed.toStdString();
    EXPECT_FALSE(certificateSubject().contains("Brevane Test")) << certificateSubject().toStdString();
    EXPECT_EQ(jobCount(QStringLiteral("com.dadarozudedarid.certbot")), 1) << launchctlList().toStdString();

    window->UW(ui()->imapsItem);
    ASSERT_TRUE(waitForPort(993, true, 10'000));
    EXPECT_TRUE(tlsGreeting(993, nullptr).startsWith("* OK"));
    window->UW(ui()->imapsItem);
    EXPECT_TRUE(waitForPort(993, false, 10'000));

    // Switched off, the renewal job goes; the certificate stays.
    window->acmePanel()->findChild<QCheckBox*>("acmeEnabled")->click();
    EXPECT_EQ(jobCount(QStringLiteral("com.dadarozudedarid.certbot")), 0);
    EXPECT_EQ(ui()->ssl_light->imageName(), "green");
}

TEST_F(FirstHour, Step13_DeInstallRemovesTheServerAndEmptiesTheWindow)
{
    Alerts::setNextAnswer(brevane::returncode::alternateButton); // "De-Install"
    window->deInstall();
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().at(0).alternateButton, "De-Install");

    for (const QString& word : serviceWords) {
        EXPECT_FALSE(QFileInfo(plistLink(word)).isSymLink()) << word.toStdString();
        EXPECT_EQ(jobCount(label(word)), 0) << word.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(serverRoot));
    // The signer's keys and job and the renewal job go too.
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/usr/local/tarnwick/opendkim")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/var/spool/postfix/brevane-opendkim")));
    for (const QString& job : {QStringLiteral("opendkim"), QStringLiteral("certbot")})
        EXPECT_FALSE(QFileInfo(plistLink(job)).isSymLink()) << job.toStdString();
    // The mail-access daemons left running went with their jobs.
    EXPECT_TRUE(waitForPort(110, false, 10'000));
    EXPECT_TRUE(waitForPort(995, false, 10'000));
    EXPECT_EQ(ui()->mydomainField->text(), "");
    EXPECT_EQ(ui()->messagesizeField->text(), "");
    EXPECT_EQ(window->fetchmailController.rowCount(), 0);
    EXPECT_EQ(ui()->smtp_light->imageName(), "red");
    EXPECT_EQ(ui()->fetchmail_light->imageName(), "red");
    EXPECT_EQ(ui()->pop3_light->imageName(), "red");
}
