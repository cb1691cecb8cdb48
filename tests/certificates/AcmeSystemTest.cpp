// Runs inside tests/system/sandbox.sh only: a Pebble test CA on the
// sandbox's loopback, certbot as root, real Postfix and the launchd job.
#include "certificates/AcmeSettings.h"
#include "SandboxRun.h"
#include "certificates/CertificateCheck.h"
#include "certificates/WebRoot.h"
#include "postfix/ServiceRules.h"
#include "shell/CommandRunner.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

using sandbox::waitFor;

using namespace brevane;

namespace {

const QString hostName = QStringLiteral("mail.brevane.test");
const QString pebbleDirectory = QStringLiteral("https://localhost:14000/dir");
const QString certsFolder = QStringLiteral("/System/Library/OpenSSL/certs");
const QString acmeFolder = QStringLiteral("/usr/local/tarnwick/postfix/acme");

bool inSandbox()
{
    return ::geteuid() == 0 && qEnvironmentVariable("BREVANE_IN_SANDBOX") == QLatin1String("1");
}

// As shellTool runs it: a clean environment with a fixed PATH, so nothing
// of the test's own (no CA bundle variable) reaches certbot.
QString runAsHelper(const QStringList& arguments, const QString& directory, int* status = nullptr)
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.setEnvironment({QStringLiteral("PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin")});
    process.start(arguments.first(), arguments.mid(1));
    process.waitForFinished(180'000);
    if (status)
        *status = process.exitCode();
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    return output.left(output.size() - 1);
}

QString sh(const QString& line, int* status = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), line});
    process.waitForFinished(180'000);
    if (status)
        *status = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Serial and alternative names of what Postfix presents after STARTTLS;
// the serial alone of what the IMAPs instance of Dovecot presents.
QString presentedCertificate()
{
    return sh("openssl s_client -starttls smtp -connect 127.0.0.1:25 </dev/null 2>/dev/null "
              "| openssl x509 -noout -serial -ext subjectAltName 2>/dev/null");
}
QString presentedOnImaps()
{
    return sh("openssl s_client -connect 127.0.0.1:993 </dev/null 2>/dev/null | openssl x509 -noout -serial");
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

mode_t modeOf(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

class AcmeSystem : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!inSandbox())
            return;
        // launchctl and the Mac folders; the host name resolves on this loopback only.
        sh(QStringLiteral("bash " BREVANE_SOURCE_DIR "/platform/install.sh " BREVANE_BUILD_DIR " >/dev/null"));
        // Written before Pebble starts: Go re-reads the file only every few seconds.
        sh(QStringLiteral("echo '127.0.0.1 %1 www.brevane.test' >> /etc/hosts").arg(hostName));
        sh(QStringLiteral("bash " BREVANE_SOURCE_DIR "/tests/certificates/start-pebble.sh >/dev/null"));

        // Postfix offering STARTTLS with the three files' SMTP certificate.
        sh(QStringLiteral(
            "set -e; d=/usr/local/tarnwick/postfix/etc; mkdir -p $d; cp /etc/postfix/main.cf /etc/postfix/master.cf $d/;"
            "touch /var/log/mail.log; postconf -e maillog_file=/var/log/mail.log;"
            "postconf -c $d -e maillog_file=/var/log/mail.log myhostname=%1 smtpd_tls_security_level=may "
            "  smtpd_tls_cert_file=/System/Library/OpenSSL/certs/smtpd.pem 'smtpd_tls_key_file=$smtpd_tls_cert_file';"
            "awk '/^[^#[:space:]]/ && NF >= 8 { $5 = \"n\" } { print }' $d/master.cf > $d/master.cf.new;"
            "mv $d/master.cf.new $d/master.cf")
               .arg(hostName));
    }

    void SetUp() override
    {
        if (!inSandbox())
            GTEST_SKIP() << "needs root inside tests/system/sandbox.sh";
        ASSERT_TRUE(services::isPortOpen(14000)) << "pebble did not start";
        ASSERT_TRUE(m_resources.isValid());
        QDir(m_resources.path()).mkdir(QStringLiteral("BrevaneStuff"));
    }

    acme::AcmeSettings pebbleSettings() const
    {
        acme::AcmeSettings settings;
        settings.enabled = true;
        settings.directoryUrl = pebbleDirectory;
        settings.hostName = hostName;
        settings.email = QStringLiteral("postmaster@brevane.test");
        return settings;
    }

    QString obtain(const acme::AcmeSettings& settings, int* status = nullptr) const
    {
        return runAsHelper(acme::obtainArguments(settings, QString()), m_resources.path(), status);
    }

    static certificates::Verdict installedVerdict(const QString& host = hostName)
    {
        return certificates::judge(certificates::parseProbe(sh(certificates::probeCommand())), 3, host,
                                   QDateTime::currentDateTimeUtc());
    }

    QTemporaryDir m_resources;
};

// Values straight from a hostile settings document, past the window's own
// check: the root script refuses each before certbot or any folder is made.
TEST_F(AcmeSystem, HostileSettingsAreRefusedAtRootAndTouchNothing)
{
    struct Case {
        const char* what;
        std::function<void(acme::AcmeSettings&)> spoil;
    };
    const QList<Case> cases{
        {"file URL", [](auto& s) { s.directoryUrl = "file:///etc/shadow"; }},
        {"http URL", [](auto& s) { s.directoryUrl = "http://localhost:14000/dir"; }},
        {"command in URL", [](auto& s) { s.directoryUrl = "https://localhost:14000/$(touch /tmp/pwned)"; }},
        {"backquotes in URL", [](auto& s) { s.directoryUrl = "https://localhost/`touch /tmp/pwned`"; }},
        {"URL with a blank option", [](auto& s) { s.directoryUrl = "https://localhost/dir --staging"; }},
        {"semicolon in host", [](auto& s) { s.hostName = "mail.brevane.test;touch /tmp/pwned"; }},
        {"host as an option", [](auto& s) { s.hostName = "--staging"; }},
        {"command in host", [](auto& s) { s.hostName = "$(touch /tmp/pwned).test"; }},
        {"bare host", [](auto& s) { s.hostName = "localhost"; }},
        {"option in e-mail", [](auto& s) { s.email = "a@b.test --server=https://evil.test/dir"; }},
        {"command in e-mail", [](auto& s) { s.email = "a@b.test;touch /tmp/pwned"; }},
        {"e-mail without a domain", [](auto& s) { s.email = "a.b@test"; }},
        {"e-mail without an at", [](auto& s) { s.email = "no.body"; }},
        {"root as web root", [](auto& s) { s.method = acme::Method::Webroot; s.webroot = "/"; }},
        {"relative web root", [](auto& s) { s.method = acme::Method::Webroot; s.webroot = "var/www"; }},
        {"climbing web root", [](auto& s) { s.method = acme::Method::Webroot; s.webroot = "/var/www/../../etc"; }},
        {"linked web root", [](auto& s) { s.method = acme::Method::Webroot; s.webroot = "/tmp/webroot-link"; }},
        {"missing web root", [](auto& s) { s.method = acme::Method::Webroot; s.webroot = "/srv/nothing/here"; }},
    };
    sh("ln -sfn /etc /tmp/webroot-link");
    for (const Case& c : cases) {
        acme::AcmeSettings settings = pebbleSettings();
        c.spoil(settings);
        // The window refuses what it can tell from the text alone; root checks it all again.
        if (!QString(c.what).startsWith("linked") && !QString(c.what).startsWith("missing"))
            EXPECT_TRUE(acme::settingsProblem(settings, QString()).has_value()) << c.what;
        int status = 0;
        const QString output = obtain(settings, &status);
        EXPECT_EQ(status, 2) << c.what << ": " << output.toStdString();
        EXPECT_TRUE(output.startsWith("REFUSED : ")) << c.what << ": " << output.toStdString();
        EXPECT_FALSE(acme::certificateObtained(output)) << c.what;
    }
    // A method word the window never sends.
    QStringList arguments = acme::obtainArguments(pebbleSettings(), QString());
    arguments[8] = "manual";
    int status = 0;
    EXPECT_TRUE(runAsHelper(arguments, m_resources.path(), &status).startsWith("REFUSED : "));
    EXPECT_EQ(status, 2);
    EXPECT_FALSE(QFileInfo::exists("/tmp/pwned"));
    EXPECT_FALSE(QFileInfo::exists(acmeFolder));
    EXPECT_FALSE(QFileInfo::exists(certsFolder + "/smtpd.pem"));
}

TEST_F(AcmeSystem, ObtainsACertificateThatPostfixPresents)
{
    const QString output = obtain(pebbleSettings());
    ASSERT_TRUE(acme::certificateObtained(output)) << output.toStdString();
    for (const char* name : {"imapd.pem", "ipop3d.pem", "smtpd.pem"}) {
        const QString path = certsFolder + "/" + name;
        EXPECT_TRUE(S_ISREG(modeOf(path))) << name;
        EXPECT_EQ(modeOf(path) & 07777, 0600u) << name;
    }
    for (const char* folder : {"", "/config", "/work", "/logs"})
        EXPECT_EQ(modeOf(acmeFolder + folder) & 07777, 0700u) << folder;
    const certificates::Verdict verdict = installedVerdict();
    EXPECT_TRUE(verdict.usable) << verdict.reason.toStdString();
    EXPECT_FALSE(installedVerdict("other.brevane.test").usable);

    sh("postfix -c /usr/local/tarnwick/postfix/etc start >/dev/null 2>&1");
    ASSERT_TRUE(waitFor([] { return services::isPortOpen(25); }, 20));
    const QString presented = presentedCertificate();
    EXPECT_TRUE(presented.contains("DNS:" + hostName)) << presented.toStdString();
    EXPECT_EQ(sh("launchctl list | awk '{print $3}' | grep -x com.dadarozudedarid.certbot"),
              "com.dadarozudedarid.certbot");

    // The IMAPs daemon reads the same file.
    sh("mkdir -p /usr/local/tarnwick/etc/dovecot; cp " BREVANE_SOURCE_DIR
       "/server/usr/local/tarnwick/etc/dovecot/* /usr/local/tarnwick/etc/dovecot/;"
       "dovecot -c /usr/local/tarnwick/etc/dovecot/uw_imaps.conf");
    ASSERT_TRUE(waitFor([] { return services::isPortOpen(993); }, 20));
    EXPECT_EQ(presentedOnImaps(), presented.section('\n', 0, 0));
}

TEST_F(AcmeSystem, ALinkInPlaceOfACertificateIsReplacedNotFollowed)
{
    ASSERT_TRUE(QFileInfo::exists(certsFolder + "/smtpd.pem"));
    sh("echo victim > /tmp/victim; chmod 0644 /tmp/victim; rm -f " + certsFolder + "/smtpd.pem; ln -s /tmp/victim "
       + certsFolder + "/smtpd.pem");
    // A second request keeps the CA's certificate and installs it again.
    const QString output = obtain(pebbleSettings());
    ASSERT_TRUE(acme::certificateObtained(output)) << output.toStdString();
    EXPECT_EQ(contents("/tmp/victim"), "victim\n");
    EXPECT_EQ(modeOf("/tmp/victim") & 07777, 0644u);
    EXPECT_TRUE(S_ISREG(modeOf(certsFolder + "/smtpd.pem")));
    EXPECT_EQ(modeOf(certsFolder + "/smtpd.pem") & 07777, 0600u);
    EXPECT_EQ(contents(certsFolder + "/smtpd.pem"), contents(certsFolder + "/imapd.pem"));

    // The installer takes certificate folders of certbot's own tree only.
    int status = 0;
    sh("mkdir -p /tmp/evil; cp " + acmeFolder + "/config/live/" + hostName + "/*.pem /tmp/evil/; /bin/sh "
           + acmeFolder + "/install-certificate.sh " + acmeFolder + "/config/live/../../../../../tmp/evil",
       &status);
    EXPECT_EQ(status, 2);
    sh("/bin/sh " + acmeFolder + "/install-certificate.sh /tmp/evil", &status);
    EXPECT_EQ(status, 2);
}

TEST_F(AcmeSystem, ARenewalRunOfTheLaunchdJobReplacesIt)
{
    const QString before = presentedCertificate();
    ASSERT_TRUE(before.startsWith("serial=")) << before.toStdString();
    const QByteArray installed = contents(certsFolder + "/smtpd.pem");
    // As if the certificate were in its last days: the job's next run renews it.
    sh("sed -i '1i renew_before_expiry = 100000 days' " + acmeFolder + "/config/renewal/" + hostName + ".conf");
    sh("launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.certbot.plist;"
       "launchctl load -w /Library/LaunchDaemons/com.dadarozudedarid.certbot.plist");
    EXPECT_TRUE(waitFor([&] { return contents(certsFolder + "/smtpd.pem") != installed; }, 90))
        << sh("cat /var/log/launchd/com.dadarozudedarid.certbot.log 2>&1; tail -n 30 " + acmeFolder
              + "/logs/letsencrypt.log").toStdString();
    const QString after = presentedCertificate();
    EXPECT_TRUE(waitFor([&] { return presentedCertificate() != before; }, 20)) << after.toStdString();
    EXPECT_TRUE(presentedCertificate().contains("DNS:" + hostName));
    // Dovecot was told too.
    EXPECT_TRUE(waitFor([] { return presentedOnImaps() == presentedCertificate().section('\n', 0, 0); }, 20))
        << presentedOnImaps().toStdString();
    EXPECT_NE(presentedOnImaps(), before.section('\n', 0, 0));
    EXPECT_EQ(modeOf(certsFolder + "/smtpd.pem") & 07777, 0600u);
    EXPECT_TRUE(installedVerdict().usable);

    // Switched off in the window: the job stops and is gone; the certificate stays.
    sh(acme::stopRenewalCommand());
    EXPECT_EQ(sh("launchctl list | awk '{print $3}' | grep -c -x com.dadarozudedarid.certbot"), "0");
    EXPECT_FALSE(QFileInfo::exists("/Library/LaunchDaemons/com.dadarozudedarid.certbot.plist"));
    EXPECT_FALSE(QFileInfo::exists("/usr/local/tarnwick/postfix/LaunchDaemons/com.dadarozudedarid.certbot.plist"));
    EXPECT_TRUE(installedVerdict().usable);
}

// A web server already on port 80: certbot leaves the CA's file in its folder.
TEST_F(AcmeSystem, TheWebRootMethodServesTheChallengeFromTheWebServersFolder)
{
    const QString webHost = QStringLiteral("www.brevane.test");
    sh("mkdir -p /srv/www");
    QProcess web;
    web.start("python3", {"-m", "http.server", "80", "--bind", "127.0.0.1", "--directory", "/srv/www"});
    ASSERT_TRUE(waitFor([] { return services::isPortOpen(80); }, 20));
    acme::AcmeSettings settings = pebbleSettings();
    settings.hostName = webHost;
    settings.method = acme::Method::Webroot;
    settings.webroot = "/srv/www";
    ASSERT_FALSE(acme::settingsProblem(settings, QString()).has_value());
    const QString output = obtain(settings);
    web.kill();
    web.waitForFinished();
    ASSERT_TRUE(acme::certificateObtained(output)) << output.toStdString();
    EXPECT_TRUE(presentedCertificate().contains("DNS:" + webHost));
    EXPECT_TRUE(installedVerdict(webHost).usable);
}

// The web root is checked again before every renewal: once a user given
// /srv has swapped it for a link, that renewal is refused in the job's log
// and the others go on.
TEST_F(AcmeSystem, AWebRootSwappedForALinkAfterTheRequestIsNotRenewed)
{
    const QString job = QStringLiteral("/Library/LaunchDaemons/com.dadarozudedarid.certbot.plist");
    const QString jobLog = QStringLiteral("/var/log/launchd/com.dadarozudedarid.certbot.log");
    ASSERT_TRUE(QFileInfo::exists(job)) << "the web root request loads the renewal job";
    sh("launchctl unload -w " + job);
    ASSERT_TRUE(waitFor([] { return sh("pgrep -f /usr/bin/certbot").isEmpty(); }, 90)) << "a renewal still runs";
    const auto live = [](const QString& name) { return contents(acmeFolder + "/config/live/" + name + "/cert.pem"); };
    const QByteArray mail = live(hostName);
    const QByteArray www = live("www.brevane.test");
    ASSERT_FALSE(www.isEmpty());
    // Both as if in their last days.
    sh("cd " + acmeFolder + "/config/renewal; for c in *.conf; do grep -q '^renew_before_expiry' $c || "
       "sed -i '1i renew_before_expiry = 100000 days' $c; done");
    sh("useradd -m alice 2>/dev/null; chown alice /srv;"
       "setpriv --reuid=alice --regid=alice --init-groups "
       "sh -c 'mv /srv/www /srv/www.obtained && mkdir /srv/planted && ln -s /srv/planted /srv/www'");
    ASSERT_TRUE(QFileInfo(QStringLiteral("/srv/www")).isSymLink());
    sh(": > " + jobLog + "; launchctl load -w " + job);
    EXPECT_TRUE(waitFor([&] { return live(hostName) != mail && contents(jobLog).contains("www.brevane.test"); }, 120))
        << contents(jobLog).toStdString();
    const QString log = QString::fromUtf8(contents(jobLog));
    EXPECT_TRUE(log.contains(" renewal of www.brevane.test refused: the web root is not a folder, or a folder on its "
                             "way is a link\n"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("renewal/mail.brevane.test.conf")) << log.toStdString();
    EXPECT_FALSE(log.contains("renewal/www.brevane.test.conf")) << log.toStdString();
    EXPECT_EQ(live("www.brevane.test"), www);
    EXPECT_TRUE(QDir(QStringLiteral("/srv/planted")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    sh("launchctl unload -w " + job + "; rm /srv/www; mv /srv/www.obtained /srv/www; chown root /srv");
}

// A settings document's web root, past the window: /etc itself, a link to
// it in the web server's folder, and a user's site whose challenge folder
// is a link to /etc/cron.d. Root writes nothing into /etc.
TEST_F(AcmeSystem, WebRootsThatLeadOutOfTheWebServersFoldersAreRefusedAtRoot)
{
    sh("useradd -m alice 2>/dev/null; mkdir -p /srv/www /var/www; ln -sfn /etc /var/www/linked;"
       "install -d -o alice -g alice /srv/www/alice /srv/www/alice/.well-known;"
       "ln -sfn /etc/cron.d /srv/www/alice/.well-known/acme-challenge;"
       "install -d /srv/www/shared; install -d -o alice -g alice /srv/www/shared/.well-known;"
       "install -d -m 0777 /srv/www/open");
    const QString cronBefore = sh("ls -la /etc/cron.d");
    const struct {
        const char* webroot;
        const char* refusal;
    } cases[] = {
        {"/etc", "must lie in /var/www or /srv"},
        {"/var/www/linked", "a folder on its way is a link"},
        {"/srv/www/alice", "/srv/www/alice is not a folder of root's alone"},
        {"/srv/www/shared", "/srv/www/shared/.well-known is not a folder of root's alone"},
        {"/srv/www/open", "/srv/www/open is not a folder of root's alone"},
    };
    for (const auto& c : cases) {
        acme::AcmeSettings settings = pebbleSettings();
        settings.method = acme::Method::Webroot;
        settings.webroot = c.webroot;
        int status = 0;
        const QString output = obtain(settings, &status);
        EXPECT_EQ(status, 2) << c.webroot << ": " << output.toStdString();
        EXPECT_TRUE(output.contains(c.refusal)) << c.webroot << ": " << output.toStdString();
        // The window finds the same before it runs anything.
        EXPECT_TRUE(acme::webrootProblem(c.webroot, acme::webrootFacts(c.webroot)).has_value()) << c.webroot;
    }
    EXPECT_FALSE(QFileInfo::exists("/etc/.well-known"));
    EXPECT_EQ(sh("ls -la /etc/cron.d"), cronBefore);
}

// certbot 2.1 crashes when the CA refuses the order; the window still says why.
TEST_F(AcmeSystem, ARefusedOrderAndAnUnreachableCaAreSaidPlainly)
{
    // The renewal job of the requests before holds certbot's lock while it runs.
    sh(acme::stopRenewalCommand());
    ASSERT_TRUE(waitFor([] { return sh("pgrep -f /usr/bin/certbot").isEmpty(); }, 90)) << "a renewal still runs";
    acme::AcmeSettings blocked = pebbleSettings();
    blocked.hostName = "blocked.brevane.test";
    const QString refused = acme::failureText(obtain(blocked));
    EXPECT_TRUE(refused.startsWith("The CA refused the order: Order included an identifier for which issuance is "
                                   "forbidden by policy"))
        << refused.toStdString();
    acme::AcmeSettings nowhere = pebbleSettings();
    nowhere.directoryUrl = "https://localhost:14999/dir";
    const QString output = obtain(nowhere);
    EXPECT_TRUE(acme::failureText(output).startsWith("The CA could not be reached: nothing answers at its address "
                                                     "and port."))
        << output.toStdString();
}

} // namespace
