// Renders the Deliverability tab red (a fresh zone) and green (every record
// published) into docs/screenshots, over a fake system and a made-up DNS.
#include "FakeSystem.h"
#include "ScreenshotWindow.h"
#include "deliverability/DeliverabilityTab.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace brevane;

namespace {

// A real 2048-bit public key, made once for these pictures.
const QString key = QStringLiteral("MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAwLSnQaxpKwHjXvEYebQyNGi0n909UMUaUIb3f7nhYTHGWrdTJoKxXKnjYHuKBSi37GW8EOG0lerF1RkjaBFe14m1kFVRw2xBawaqJaQ8qF26v+Wnjl9qLF9ho1WL06vXJcdfRHs5t3OnTHLfqk7YytoqI8CQ2q1JS0Jsco5nWE1drmZcDrKsBhmdhUnRq2scVGLGujF77/t1LEa1yIkl3HLWgkxIn6+b2XfiHRWH+gVi1oP3tjJPsI0/p2rT0F61TrM9n3QxvrhkKZR4zAAVIkFSYeJiUE1AdvDhA2m0YERHQv1+yQcsWz193IL0vIA7q58HqQYhISgr/N3b7zRGkQIDAQAB");

dns::Answer found(const QString& value)
{
    return {dns::Outcome::Found, {value}};
}

void check(DeliverabilityTab* tab, const QMap<QString, dns::Answer>& zone)
{
    tab->setLookup([zone](const QString& name, dns::RecordType type) {
        return zone.value(QString::number(int(type)) + name, dns::Answer{});
    });
    tab->checkDns();
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
    fake.answer("Sets up DKIM signing", "DKIM key example.com brevane " + key + "\\n");
    WindowController window;
    logInForScreenshots(window);
    window.ui()->mydomainField->setText("example.com");

    DeliverabilityTab* tab = window.deliverabilityTab();
    window.findChild<QAction*>("deliverabilityItem")->trigger();
    tab->findChild<QCheckBox*>("dkimSigningBox")->setChecked(true);
    tab->findChild<QPushButton*>("applyDkimButton")->click();
    tab->findChild<QLineEdit*>("publicAddressField")->setText("192.0.2.25");

    const auto at = [](dns::RecordType type, const QString& name) { return QString::number(int(type)) + name; };
    QMap<QString, dns::Answer> zone{{at(dns::RecordType::MX, "example.com"), found("10 mail.example.com")},
                                    {at(dns::RecordType::A, "mail.example.com"), found("192.0.2.25")},
                                    {at(dns::RecordType::PTR, "25.2.0.192.in-addr.arpa"),
                                     found("host-192-0-2-25.provider.example")}};
    check(tab, zone);
    saveScreenshot(&window, out, "tab-deliverability-red");

    zone.insert(at(dns::RecordType::PTR, "25.2.0.192.in-addr.arpa"), found("mail.example.com"));
    zone.insert(at(dns::RecordType::TXT, "example.com"), found("v=spf1 mx -all"));
    zone.insert(at(dns::RecordType::TXT, "brevane._domainkey.example.com"), found("v=DKIM1; k=rsa; p=" + key));
    zone.insert(at(dns::RecordType::TXT, "_dmarc.example.com"),
                found("v=DMARC1; p=quarantine; rua=mailto:postmaster@example.com"));
    check(tab, zone);
    saveScreenshot(&window, out, "tab-deliverability-green");
    return 0;
}
