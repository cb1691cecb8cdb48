// Renders every tab and sheet of the real window over a fake system into
// PNG files, so the pictures in docs/ can be made again by anyone.
#include "FakeSystem.h"
#include "ScreenshotWindow.h"
#include "certificates/AcmePanel.h"
#include "filtering/FilteringHealth.h"
#include "filtering/FilteringTab.h"
#include "maintenance/MailLogPanel.h"
#include "privileged/TaskWrapper.h"
#include "shell/Controls.h"
#include "shell/StatusLight.h"
#include "shell/WindowController.h"
#include "ui_AgreementPanel.h"
#include "ui_LoginPanel.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QAbstractButton>

namespace {

void fillDemo(WindowController& window)
{
    Ui::MainWindow* ui = window.ui();
    ui->mydomainField->setText("example.com");
    ui->mydestinationField->setText("mail.example.com, example.net");
    ui->messagesizeField->setText("10240000");
    ui->mailboxsizeField->setText("51200000");
    ui->rblSitesField->setText("zen.spamhaus.org");
    ui->portNosField->setText("587");
    ui->relayhostField->setText("[smtp.provider.example]:587");
    ui->enableSASLClient->setChecked(true);
    ui->requireSSLClient->setChecked(true);
    ui->smartHostUserID->setText("joe");
    ui->smartHostPassword->setText("secret");
    brevane::controls::selectCellAtRow(ui->mynetworks_style, 1);
    brevane::controls::selectCellAtRow(ui->saslAuthMethod, 2);
    ui->sasldb_passwdField->setPlainText("alice:wonderland\nbob:builder");
    ui->accessField->setPlainText("spammer@example.org REJECT");
    ui->aliasesField->setPlainText("postmaster: root\nroot: alice");
    ui->virtualField->setPlainText("info@virtual.example alice");
    ui->virtualDomainsField->setText("virtual.example");
    ui->customField->setPlainText("smtpd_banner = $myhostname ESMTP");
    ui->countryField->setText("SG");
    ui->provinceField->setText("State");
    ui->localityField->setText("SG");
    ui->organisationField->setText("Widgets Inc");
    ui->organisationalunitField->setText("IT");
    ui->youremailaddressField->setText("postmaster@example.com");
    window.smartHostController.setRows(
        {{{"location", "Office"}, {"smartHostName", "[smtp.office.example]:587"}, {"uID", "joe"}, {"pword", "secret"},
          {"authenticate", 1}, {"requireSSL", 1}},
         {{"location", "Home"}, {"smartHostName", "smtp.isp.example"}, {"authenticate", 0}, {"requireSSL", 0}}});
    window.fetchmailController.setRows(
        {{{"server", "pop.isp.example"}, {"via", ""}, {"protocol", QVariantMap{{"value", "POP3"}}}, {"aka", ""},
          {"localdomains", ""}, {"there", "joe.remote"}, {"password", "secret"}, {"here", "alice"},
          {"keep", QVariantMap{{"value", "NO"}}}, {"ssl", QVariantMap{{"value", "YES"}}}}});
}

// A day of traffic made of the captured Postfix lines, busier by day.
void writeDemoMailLog(const QString& path)
{
    QFile captured(QStringLiteral(SCREENSHOT_TEST_DATA "/maintenance/data/mail.log-captured.txt"));
    QFile demo(path);
    if (!captured.open(QIODevice::ReadOnly) || !demo.open(QIODevice::WriteOnly))
        return;
    const QList<QByteArray> lines = captured.readAll().trimmed().split('\n');
    const QDateTime now = QDateTime::currentDateTime();
    for (int hour = 23; hour >= 0; --hour) {
        const int rounds = 2 + (hour * 7) % 9;
        for (int round = 0; round < rounds; ++round) {
            const QDateTime at = now.addSecs(-hour * 3600 - round * 60);
            const QByteArray stamp = QLocale::c().toString(at, "MMM dd HH:mm:ss").toLatin1();
            const QByteArray number = QByteArray::number(hour * 100 + round).rightJustified(4, '0');
            for (QByteArray line : lines) {
                // Every round its own messages: the IDs' first letters become its number.
                for (const char* id : {"DEE7060", "20ADF68", "237F06C", "D15D46F"})
                    line.replace(id, number + QByteArray(id).mid(4));
                demo.write(stamp + line.mid(15).replace("probe", "mail") + '\n');
            }
        }
    }
    // A requeue, an expiry, postscreen and quoted addresses, a little while ago.
    QFile hostile(QStringLiteral(SCREENSHOT_TEST_DATA "/maintenance/data/mail.log-hostile.txt"));
    if (!hostile.open(QIODevice::ReadOnly))
        return;
    const QByteArray stamp = QLocale::c().toString(now.addSecs(-300), "MMM dd HH:mm:ss").toLatin1();
    for (const QByteArray& line : hostile.readAll().trimmed().split('\n'))
        demo.write(stamp + line.mid(15).replace("probe", "mail") + '\n');
}

// The alert a request has just put up, then its Cancel: nothing goes on.
void saveQuestion(WindowController& window, const QString& directory, const QString& name)
{
    QCoreApplication::processEvents();
    for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
        if (!box->isVisible())
            continue;
        saveScreenshot(box, directory, name);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == QLatin1String("Cancel"))
                button->click();
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("brevane");
    const QString out = screenshotFolder(argc, argv);

    FakeSystem fake;
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    fake.answer("postqueue -j",
                "{\"queue_name\": \"deferred\", \"queue_id\": \"A563C8D\", \"arrival_time\": 1796690470, "
                "\"message_size\": 401, \"sender\": \"alice@example.com\", \"recipients\": ["
                "{\"address\": \"bob@remote-one.example\", \"delay_reason\": \"Host or domain name not found. Name "
                "service error for name=remote-one.example type=MX: Host not found, try again\"}, "
                "{\"address\": \"carol@remote-one.example\", \"delay_reason\": \"Host or domain name not found. Name "
                "service error for name=remote-one.example type=MX: Host not found, try again\"}]}\\n"
                "{\"queue_name\": \"active\", \"queue_id\": \"B71E20A\", \"arrival_time\": 1796690530, "
                "\"message_size\": 1822, \"sender\": \"news@example.com\", \"recipients\": ["
                "{\"address\": \"dan@slow.example\"}]}\\n"
                "{\"queue_name\": \"hold\", \"queue_id\": \"CB07F9A\", \"arrival_time\": 1796690571, "
                "\"message_size\": 270, \"forced_expire\": true, \"sender\": \"root@example.com\", \"recipients\": ["
                "{\"address\": \"erin@remote-four.example\", \"delay_reason\": \"connect to "
                "mx.remote-four.example[192.0.2.7]:25: Connection refused\"}]}\\n"
                "A563C8D 1796692270.0\\n");
    fake.answer("postcat -h -b -q A563C8D", "Received: by mail.example.com (Postfix, from userid 501)\\n"
                                            "Subject: Quarterly figures\\nFrom: Alice <alice@example.com>\\n"
                                            "To: bob@remote-one.example, carol@remote-one.example\\n\\n"
                                            "The figures are attached.\\n");
    // Filtering installed with its defaults, virus scanning too.
    fake.answer("# Sets up spam and virus filtering",
                "JOB redis\\nJOB clamd\\nJOB rspamd\\nJOB lmtp\\n--- actions.conf\\nreject = 15;\\nadd_header = 6;\\n"
                "--- greylist.conf\\nenabled = true;\\n--- antivirus.conf\\nclamav {\\n");
    WindowController window;
    logInForScreenshots(window, [&] { saveScreenshot(window.loginPanel(), out, "login-sheet"); });
    fillDemo(window);

    const QList<std::pair<QAction*, QString>> tabs{{window.ui()->outgoingItem, "tab-outgoing"},
                                                   {window.ui()->mailServerItem, "tab-mail-server"},
                                                   {window.ui()->fetchmailItem, "tab-fetchmail"},
                                                   {window.ui()->mailLogItem, "tab-mail-log"},
                                                   {window.ui()->mailQueueItem, "tab-mail-queue"}};
    auto* logPanel = window.findChild<MailLogPanel*>("mailLogPanel");
    writeDemoMailLog(fake.path() + "/mail.log");
    logPanel->setLogPaths(fake.path() + "/mail.log", fake.path() + "/mail.log.1");
    for (const auto& [item, name] : tabs) {
        item->trigger();
        while (logPanel->isLoading())
            QCoreApplication::processEvents();
        saveScreenshot(&window, out, name);
        if (item == window.ui()->mailLogItem)
            saveScreenshot(logPanel, out, "mail-log-summary");
    }
    // No filter listens on this machine: the light and the tab as they are
    // when rspamd, clamd and Dovecot's delivery all answer.
    window.findChild<QAction*>("filteringItem")->trigger();
    window.findChild<StatusLight*>("filtering_light")->setImageNamed("green");
    window.filteringTab()->showState(brevane::filtering::filteringLight(true, true, true, true, true).text, {});
    saveScreenshot(&window, out, "tab-filtering");
    window.checkStatusLights();

    window.ui()->mailQueueItem->trigger();
    window.mailqController.setSelectionIndex(0);
    window.viewMailqMessage();
    saveScreenshot(&window, out, "tab-mail-queue-view");
    window.manageMailq(window.ui()->deleteMailqButton);
    saveQuestion(window, out, "queue-delete-question");
    for (int section = 0; section < window.ui()->mailServerSections->count(); ++section) {
        window.ui()->outgoingItem->trigger();
        window.ui()->mailServerItem->trigger();
        window.ui()->mailServerSections->setCurrentIndex(section);
        saveScreenshot(&window, out, QString("tab-mail-server-%1").arg(section + 1));
    }
    // The answer of "Test Account" in its row.
    fake.answer("fetchmail --check", "2 messages for joe.remote at pop.isp.example (5120 octets).\\n"
                                     "fetchmail status: 0\\n");
    window.ui()->fetchmailItem->trigger();
    window.fetchmailController.setSelectionIndex(0);
    window.testFetchmailAccount();
    while (window.unixTask()->isRunningInBackground())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    saveScreenshot(&window, out, "tab-fetchmail-test-account");
    window.showReadMePanel();
    saveScreenshot(window.agreementPanel(), out, "read-me-panel");
    window.agreementPanel()->hide();

    // The certificate controls, with a CA's certificate installed for the host.
    QString probe;
    for (const char* file : {"imapd", "ipop3d", "smtpd"})
        probe += QStringLiteral("== /System/Library/OpenSSL/certs/%1.pem\\nsubject=CN=mail.example.com\\n"
                                "X509v3 Subject Alternative Name: \\n    DNS:mail.example.com\\n"
                                "notBefore=2026-12-08 09:12:45Z\\nnotAfter=2027-03-08 09:12:44Z\\nkey=matches\\n")
                     .arg(file);
    fake.answer("-dateopt iso_8601", probe);
    brevane::acme::AcmeSettings settings;
    settings.enabled = true;
    settings.hostName = "mail.example.com";
    settings.email = "postmaster@example.com";
    window.acmePanel()->setSettings(settings);
    window.certificateIsUsable();
    window.ui()->outgoingItem->trigger();
    window.ui()->mailServerItem->trigger();
    window.ui()->mailServerSections->setCurrentIndex(0);
    saveScreenshot(window.ui()->sslGroup, out, "ssl-certificate-controls");
    window.showAcmePanel();
    saveScreenshot(window.findChild<QDialog*>("acmeDialog"), out, "acme-certificate-panel");
    window.findChild<QDialog*>("acmeDialog")->hide();
    window.ui()->mydomainField->setText("changed.example");
    window.quitApp();
    saveQuestion(window, out, "quit-question");
    return 0;
}
