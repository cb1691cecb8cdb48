// Renders the Status tab all green and with reds into docs/screenshots,
// over made-up services, certificates, queue, DNS and vantage point.
#include "FakeSystem.h"
#include "ScreenshotWindow.h"
#include "shell/StatusLight.h"
#include "shell/WindowController.h"
#include "status/StatusTab.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QLineEdit>

using namespace brevane;

namespace {

const QString key
    = QStringLiteral("MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAwLSnQaxpKwHjXvEYebQyNGi0n909UMUaUIb3f7n");

dns::Answer found(const QString& value)
{
    return { dns::Outcome::Found, { value } };
}

QString at(dns::RecordType type, const QString& name)
{
    return QString::number(int(type)) + name;
}

// The vantage point's ssh, first in PATH: it answers the probe as a host
// outside would, port 587 refused while the picture has reds.
void writeFakeSsh(const QString& folder)
{
    QFile ssh(folder + "/ssh");
    ssh.open(QIODevice::WriteOnly);
    ssh.write(R"SH(#!/bin/bash
cat >/dev/null
while [ "$1" != -- ]; do shift; done
case $2 in
  ports) for port in "${@:4}"; do
      if [ "$port" = 587 ] && [ -e "$0.reds" ]; then echo "port $port refused"; else echo "port $port open"; fi
    done ;;
  relay) printf '%s\n' 'greeting 220 mail.example.com ESMTP Postfix' 'ehlo 250 DSN' 'mail 250 2.1.0 Ok' \
      "rcpt 454 4.7.1 <$5>: Relay access denied" ;;
esac
)SH");
    ssh.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("PATH", (folder + ':').toUtf8() + qgetenv("PATH"));
}

status::StatusInputs inputs(bool fetchmailUp, const QDateTime& certificateEnd, const QMap<QString, dns::Answer>& zone)
{
    status::StatusInputs given;
    given.services = QList<status::ServiceFacts> { { "Postfix", { true, true, {} }, true, "the toolbar" },
        { "fetchmail", { true, fetchmailUp, "fetchmail: Authorization failure on joe@pop.isp.example" }, false,
            "the Fetchmail tab" } };
    const QDateTime now = QDateTime::currentDateTimeUtc();
    given.certificates = QList<certificates::CertificateFacts> { { true, "mail.example.com", { "mail.example.com" },
        now.addDays(-30), certificateEnd, true } };
    given.dns = { { "example.com", "virtual.example" }, "brevane", { { "example.com", key } }, "192.0.2.25",
        [zone](const QString& name, dns::RecordType type) { return zone.value(at(type, name), dns::Answer {}); }, {} };
    given.outside.ports = { { "SMTP", 25 }, { "submission", 587 } };
    given.outside.blockListLookup = given.dns.lookup;
    return given;
}

void check(StatusTab* tab, const status::StatusInputs& given)
{
    tab->runChecks(given);
    while (tab->isChecking())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("brevane");
    const QString out = screenshotFolder(argc, argv);

    FakeSystem fake;
    writeFakeSsh(fake.path());
    // The lights as the probes would show them over the rows' services.
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    fake.answer("grep com.dadarozudedarid.fetchmail", "YES\\n");
    WindowController window;
    logInForScreenshots(window);
    // The box and the table need the height.
    window.resize(1100, 1080);
    StatusTab* tab = window.statusTab();
    window.findChild<QAction*>("statusItem")->trigger();
    window.findChild<QLineEdit*>("vantageField")->setText("you@vantage.example");
    window.findChild<QLineEdit*>("outsideAddressField")->setText("192.0.2.25");
    tab->setWatching(true);
    // The certificate files are not on this machine: the light as it shows a valid one.
    window.ui()->ssl_light->setImageNamed("green");
    window.ui()->ssl_light_info->setText("SSL cert is available");

    QMap<QString, dns::Answer> zone;
    for (const QString domain : { "example.com", "virtual.example" }) {
        zone.insert(at(dns::RecordType::MX, domain), found("10 mail.example.com"));
        zone.insert(at(dns::RecordType::TXT, domain), found("v=spf1 mx -all"));
        zone.insert(at(dns::RecordType::TXT, "_dmarc." + domain), found("v=DMARC1; p=quarantine"));
    }
    zone.insert(at(dns::RecordType::A, "mail.example.com"), found("192.0.2.25"));
    zone.insert(at(dns::RecordType::TXT, "brevane._domainkey.example.com"), found("v=DKIM1; k=rsa; p=" + key));
    zone.insert(at(dns::RecordType::PTR, "25.2.0.192.in-addr.arpa"), found("mail.example.com"));
    // Each block list names its test entry, and not this server.
    for (const QString list : { "zen.spamhaus.org", "bl.spamcop.net", "b.barracudacentral.org" })
        zone.insert(at(dns::RecordType::A, "2.0.0.127." + list), found("127.0.0.2"));

    // virtual.example signs with no key of its own yet: give it one for the green picture.
    status::StatusInputs green = inputs(true, QDateTime::currentDateTimeUtc().addDays(80), zone);
    green.dns.publicKeys.insert("virtual.example", key);
    zone.insert(at(dns::RecordType::TXT, "brevane._domainkey.virtual.example"), found("v=DKIM1; k=rsa; p=" + key));
    green.dns.lookup
        = [zone](const QString& name, dns::RecordType type) { return zone.value(at(type, name), dns::Answer {}); };
    tab->setQueueCommand({ "/bin/true" });
    check(tab, green);
    saveScreenshot(&window, out, "tab-status-green");

    const QString deferred = QStringLiteral(R"({"queue_name": "deferred", "queue_id": "E2E9240", "arrival_time": %1, )"
                                            R"("message_size": 2550, "sender": "alice@example.com", )"
                                            R"("recipients": [{"address": "bob@far.example"}]})")
                                 .arg(QDateTime::currentSecsSinceEpoch() - 5 * 3600 - 720);
    tab->setQueueCommand({ "/bin/sh", "-c", "printf '%s\\n' '" + deferred + "'" });
    // A new virtual domain: no SPF record and no key yet.
    zone.remove(at(dns::RecordType::TXT, "virtual.example"));
    zone.remove(at(dns::RecordType::TXT, "brevane._domainkey.virtual.example"));
    // SpamCop heard of spam from this address, and port 587 is closed to the outside.
    zone.insert(at(dns::RecordType::A, "25.2.0.192.bl.spamcop.net"), found("127.0.0.2"));
    zone.insert(at(dns::RecordType::TXT, "25.2.0.192.bl.spamcop.net"),
        found("Blocked - see https://www.spamcop.net/bl.shtml?192.0.2.25"));
    QFile(fake.path() + "/ssh.reds").open(QIODevice::WriteOnly);
    fake.reanswer("grep com.dadarozudedarid.fetchmail",
        "YES\\nLOG fetchmail: Authorization failure on joe@pop.isp.example\\nLOG fetchmail: Query status=3 "
        "(AUTHFAIL)\\nAGE 60\\nINTERVAL 300\\n");
    window.checkStatusLights();
    window.ui()->ssl_light->setImageNamed("green");
    window.ui()->ssl_light_info->setText("SSL cert is available");
    check(tab, inputs(false, QDateTime::currentDateTimeUtc().addDays(2), zone));
    saveScreenshot(&window, out, "tab-status-red");
    return 0;
}
