// Renders the Status tab all green and with reds into docs/screenshots,
// over made-up services, certificates, queue and DNS.
#include "FakeSystem.h"
#include "ScreenshotWindow.h"
#include "shell/WindowController.h"
#include "status/StatusTab.h"

#include <QApplication>
#include <QDateTime>

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
    WindowController window;
    logInForScreenshots(window);
    StatusTab* tab = window.statusTab();
    window.findChild<QAction*>("statusItem")->trigger();

    QMap<QString, dns::Answer> zone;
    for (const QString domain : { "example.com", "virtual.example" }) {
        zone.insert(at(dns::RecordType::MX, domain), found("10 mail.example.com"));
        zone.insert(at(dns::RecordType::TXT, domain), found("v=spf1 mx -all"));
        zone.insert(at(dns::RecordType::TXT, "_dmarc." + domain), found("v=DMARC1; p=quarantine"));
    }
    zone.insert(at(dns::RecordType::A, "mail.example.com"), found("192.0.2.25"));
    zone.insert(at(dns::RecordType::TXT, "brevane._domainkey.example.com"), found("v=DKIM1; k=rsa; p=" + key));
    zone.insert(at(dns::RecordType::PTR, "25.2.0.192.in-addr.arpa"), found("mail.example.com"));

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
    check(tab, inputs(false, QDateTime::currentDateTimeUtc().addDays(2), zone));
    saveScreenshot(&window, out, "tab-status-red");
    return 0;
}
