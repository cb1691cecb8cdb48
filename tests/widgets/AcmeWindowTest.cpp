#include "WindowFixture.h"
#include "certificates/AcmePanel.h"
#include "shell/StatusLight.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

using namespace brevane;

namespace {

// What the probe prints for three copies of one certificate.
QString probeAnswer(const QString& name, const QString& notAfter)
{
    QString text;
    for (const char* file : {"imapd", "ipop3d", "smtpd"})
        text += QStringLiteral("== /System/Library/OpenSSL/certs/%1.pem\\nsubject=CN=%2\\n"
                               "notBefore=2026-01-01 00:00:00Z\\nnotAfter=%3\\nkey=matches\\n")
                    .arg(file, name, notAfter);
    return text;
}

acme::AcmeSettings caSettings(const QString& hostName)
{
    acme::AcmeSettings settings;
    settings.enabled = true;
    settings.hostName = hostName;
    settings.email = QStringLiteral("postmaster@example.com");
    return settings;
}

// The panel set to `settings`, then saved as a document in `folder`.
QString savedDocument(WindowController& window, const acme::AcmeSettings& settings, const QTemporaryDir& folder)
{
    const QString path = folder.path() + "/ca.brvn";
    window.acmePanel()->setSettings(settings);
    Alerts::setNextFileName(path);
    window.saveDocument();
    return path;
}

} // namespace

TEST_F(WindowTest, AcmeSettingsAreCheckedBeforeTheScriptRunsOnceAndCertbotsWordsShowOnFailure)
{
    fake.answer("certbot certonly", "Some challenges have failed.\\nREFUSED : the web root is not a folder\\n");
    launchAndLogIn();
    window->findChild<QPushButton*>("acmeButton")->click();
    window->acmePanel()->setSettings(caSettings("mail.example.com;touch /tmp/x"));
    fake.clearCalls();
    window->obtainAcmeCertificate();
    EXPECT_EQ(fake.countCalls("certbot"), 0);
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(Alerts::shown().last().title, "The certificate was not requested.");

    window->acmePanel()->setSettings(caSettings("mail.example.com"));
    window->obtainAcmeCertificate();
    EXPECT_EQ(fake.countCalls("mail.example.com postmaster@example.com standalone"), 1);
    ASSERT_EQ(Alerts::shown().size(), 2);
    EXPECT_EQ(Alerts::shown().last().title, "The CA gave no certificate.");
    EXPECT_EQ(Alerts::shown().last().message, "The settings were refused: the web root is not a folder.");
}

TEST_F(WindowTest, TheLightWantsTheHostsNameAndAnUnexpiredCertificate)
{
    fake.answer("-dateopt iso_8601", probeAnswer("mail.example.com", "2999-01-01 00:00:00Z"));
    launchAndLogIn();
    window->acmePanel()->setSettings(caSettings("mail.example.com"));
    EXPECT_TRUE(window->certificateIsUsable());
    window->acmePanel()->setSettings(caSettings("smtp.example.com"));
    EXPECT_FALSE(window->certificateIsUsable());
    EXPECT_EQ(ui()->ssl_light->toolTip(), "The certificate is for mail.example.com, not for smtp.example.com.");
    // Without a CA the test certificate is made for the mail domain.
    window->acmePanel()->setSettings({});
    ui()->mydomainField->setText("mail.example.com");
    EXPECT_TRUE(window->certificateIsUsable());
}

TEST_F(WindowTest, AnExpiredCertificateKeepsTheLightRed)
{
    fake.answer("-dateopt iso_8601", probeAnswer("mail.example.com", "2001-01-01 00:00:00Z"));
    launchAndLogIn();
    window->acmePanel()->setSettings(caSettings("mail.example.com"));
    EXPECT_FALSE(window->certificateIsUsable());
    EXPECT_EQ(ui()->ssl_light->toolTip(), "The certificate expired on 2001-01-01.");
}

TEST_F(WindowTest, AcmeSettingsTravelInTheDocument)
{
    launchAndLogIn();
    QTemporaryDir folder;
    acme::AcmeSettings settings = caSettings("mail.example.com");
    settings.directoryUrl = "https://acme-staging-v02.api.letsencrypt.org/directory";
    settings.method = acme::Method::Webroot;
    settings.webroot = "/var/www/html";
    const QString path = savedDocument(*window, settings, folder);
    window->acmePanel()->setSettings({});
    EXPECT_TRUE(window->isWindowModified());
    Alerts::setNextAnswer(returncode::defaultButton);
    ASSERT_TRUE(window->openFile(path));
    const acme::AcmeSettings back = window->acmePanel()->settings();
    EXPECT_TRUE(back.enabled);
    EXPECT_EQ(back.directoryUrl, settings.directoryUrl);
    EXPECT_EQ(back.hostName, "mail.example.com");
    EXPECT_EQ(back.method, acme::Method::Webroot);
    EXPECT_EQ(back.webroot, "/var/www/html");
}

TEST_F(WindowTest, AcmeSettingsFromADocumentReachCertbotOnlyOnceConfirmed)
{
    launchAndLogIn();
    QTemporaryDir folder;
    acme::AcmeSettings settings = caSettings("mail.example.com");
    settings.directoryUrl = "https://ca.evil.example/directory";
    ASSERT_TRUE(window->openFile(savedDocument(*window, settings, folder)));
    window->findChild<QPushButton*>("acmeButton")->click();
    fake.clearCalls();

    Alerts::setNextAnswer(returncode::defaultButton); // Cancel
    window->obtainAcmeCertificate();
    EXPECT_EQ(fake.countCalls("certbot"), 0);
    ASSERT_FALSE(Alerts::shown().isEmpty());
    EXPECT_TRUE(Alerts::shown().last().message.contains("CA: https://ca.evil.example/directory"));
    Alerts::setNextAnswer(returncode::alternateButton); // Request Certificate
    window->obtainAcmeCertificate();
    EXPECT_EQ(fake.countCalls("https://ca.evil.example/directory mail.example.com"), 1);
    const qsizetype asked = Alerts::shown().size();
    window->obtainAcmeCertificate(); // confirmed once is enough
    EXPECT_EQ(fake.countCalls("https://ca.evil.example/directory mail.example.com"), 2);
    EXPECT_EQ(Alerts::shown().size(), asked + 1); // only "The CA gave no certificate."

    // A web root that is no web server's folder never reaches the helper.
    settings.method = acme::Method::Webroot;
    settings.webroot = "/etc";
    window->acmePanel()->setSettings(settings);
    window->obtainAcmeCertificate();
    EXPECT_EQ(fake.countCalls("certbot"), 2);
    EXPECT_TRUE(Alerts::shown().last().message.contains("must lie in /var/www or /srv")) << Alerts::shown().last().message.toStdString();
}
