// DKIM signing and the DNS checks against real OpenDKIM, Postfix and a
// local unbound serving a test zone on 127.0.0.1. Runs only as root inside
// tests/system/sandbox.sh: it rewrites /etc/resolv.conf, binds port 53 and
// starts daemons, all inside the sandbox's own namespaces.
#include "deliverability/DkimSigning.h"
#include "deliverability/DnsChecks.h"
#include "postfix/PostfixConfig.h"
#include "shell/ResourcePaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace brevane;

namespace {

const QString sourceDir = QStringLiteral(BREVANE_SOURCE_DIR);
const QString buildDir = QStringLiteral(BREVANE_BUILD_DIR);
const QString domain = QStringLiteral("example.test");
const QString selector = QStringLiteral("sandbox");
const QString dkimDir = QStringLiteral("/usr/local/tarnwick/opendkim");
const QString configDir = QStringLiteral("/usr/local/tarnwick/postfix/etc");
const QString zoneFile = QStringLiteral("/etc/unbound/brevane-zone.conf");
const QString mailAddress = QStringLiteral("127.0.0.2"); // the mail host's address in the test zone

QString sh(const QString& line, int* status = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
    process.waitForFinished(120000);
    if (status)
        *status = process.exitCode();
    return QString::fromUtf8(process.readAll());
}

bool writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) == text.toUtf8().size();
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The script as the helper runs it: its output.
QString dkimScript(dkim::Mode mode, const QString& sel, const QStringList& domains)
{
    const QStringList arguments = dkim::scriptArguments(mode, sel, domains, scriptText(QStringLiteral("configure-dkim.sh")));
    QProcess process;
    process.start(arguments.first(), arguments.mid(1));
    process.waitForFinished(120000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool waitFor(const std::function<bool()>& done, int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        if (done())
            return true;
        QThread::msleep(100);
    }
    return done();
}

QList<dns::CheckRow> checks(const QString& publicKey)
{
    return dns::runChecks({domain, selector, publicKey, mailAddress},
                          [](const QString& name, dns::RecordType type) { return dns::resolve(name, type, 1); });
}

QString describe(const QList<dns::CheckRow>& rows)
{
    QString text;
    for (const dns::CheckRow& row : rows)
        text += QStringLiteral("%1 %2 state=%3 found=%4\n").arg(row.record, row.name).arg(int(row.state)).arg(row.found);
    return text;
}

// unbound on 127.0.0.1:53 with the test zone and whatever records it holds.
void startUnbound()
{
    sh(QStringLiteral("test -f /run/brevane-unbound.pid && kill $(cat /run/brevane-unbound.pid); sleep 0.3"));
    sh(QStringLiteral("unbound -c /etc/unbound/brevane-test.conf"));
    ASSERT_TRUE(waitFor([] { return dns::resolve(QStringLiteral("ns.") + domain, dns::RecordType::A, 1).outcome
                                    == dns::Outcome::Found; },
                        10))
        << readFile(QStringLiteral("/tmp/unbound.log")).toStdString();
}

class DeliverabilitySystem : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!inSandbox())
            return;
        sh("bash " + sourceDir + "/platform/install.sh " + buildDir + " >/tmp/platform-install.log 2>&1");
        sh(QStringLiteral("rm -f /etc/resolv.conf; echo 'nameserver 127.0.0.1' > /etc/resolv.conf;"
                          "id bob >/dev/null 2>&1 || useradd -m bob"));
        writeFile(QStringLiteral("/etc/unbound/brevane-test.conf"),
                  QStringLiteral("server:\n  interface: 127.0.0.1\n  port: 53\n  do-ip6: no\n  username: \"\"\n"
                                 "  chroot: \"\"\n  pidfile: \"/run/brevane-unbound.pid\"\n"
                                 "  logfile: \"/tmp/unbound.log\"\n  module-config: \"iterator\"\n"
                                 "  local-zone: \"%1.\" static\n  local-zone: \"127.in-addr.arpa.\" static\n"
                                 "  local-data: \"ns.%1. IN A 127.0.0.1\"\n  include: \"%2\"\n")
                      .arg(domain, zoneFile));
    }

    static bool inSandbox()
    {
        return ::geteuid() == 0 && qEnvironmentVariable("BREVANE_IN_SANDBOX") == QLatin1String("1");
    }

    void SetUp() override
    {
        if (!inSandbox())
            GTEST_SKIP() << "needs root inside tests/system/sandbox.sh";
    }
};

int modeOf(const QString& path, uid_t* owner = nullptr)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    if (owner)
        *owner = st.st_uid;
    return int(st.st_mode & 07777);
}

} // namespace

TEST_F(DeliverabilitySystem, ChecksSayDnsIsNotReachableWhenNoServerAnswers)
{
    sh(QStringLiteral("test -f /run/brevane-unbound.pid && kill $(cat /run/brevane-unbound.pid); sleep 0.3"));
    // Nothing listens: the server's port refuses.
    for (const dns::CheckRow& row : checks(QString()))
        EXPECT_EQ(row.state, dns::CheckState::Unreachable) << row.record.toStdString();

    // Something listens and never answers: the timeout ends the wait.
    const int sink = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(53);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(sink, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    const QList<dns::CheckRow> rows = checks(QString());
    ::close(sink);
    ASSERT_EQ(rows.size(), 6);
    for (const dns::CheckRow& row : rows) {
        EXPECT_EQ(row.state, dns::CheckState::Unreachable) << row.record.toStdString();
        EXPECT_EQ(row.found, QString::fromLatin1(dns::unreachableText));
    }
}

TEST_F(DeliverabilitySystem, HostileValuesAreRefusedAndWriteNothing)
{
    sh("rm -rf " + dkimDir);
    for (const auto& [sel, domains] : std::vector<std::pair<QString, QStringList>>{
             {"x;touch /tmp/pwned", {domain}},
             {"../../../etc", {domain}},
             {"$(touch /tmp/pwned)", {domain}},
             {selector, {"../../etc"}},
             {selector, {"exa`touch /tmp/pwned`mple.test"}},
             {selector, {"-rf"}},
             {QString(64, u'a'), {domain}},
         }) {
        const QString output = dkimScript(dkim::Mode::Sign, sel, domains);
        EXPECT_FALSE(dkim::refusal(output).isEmpty()) << sel.toStdString() << " " << domains.join(' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/pwned")));
    EXPECT_FALSE(QFileInfo::exists(dkimDir));

    // A symlink where a key folder goes is not followed.
    QDir().mkpath(dkimDir + "/keys");
    QDir().mkpath(QStringLiteral("/tmp/elsewhere"));
    ASSERT_EQ(::symlink("/tmp/elsewhere", QFile::encodeName(dkimDir + "/keys/" + domain).constData()), 0);
    EXPECT_FALSE(dkim::refusal(dkimScript(dkim::Mode::Sign, selector, {domain})).isEmpty());
    EXPECT_TRUE(QDir(QStringLiteral("/tmp/elsewhere")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    uid_t owner = 0;
    modeOf(QStringLiteral("/tmp/elsewhere"), &owner);
    EXPECT_EQ(owner, 0u);

    // A folder someone else made is not taken over, nor written in.
    sh("rm -rf " + dkimDir + "; mkdir -m 777 " + dkimDir + "; chown bob " + dkimDir);
    ASSERT_EQ(::symlink("/tmp/planted", QFile::encodeName(dkimDir + "/KeyTable.new").constData()), 0);
    EXPECT_FALSE(dkim::refusal(dkimScript(dkim::Mode::Sign, selector, {domain})).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/planted")));
    EXPECT_FALSE(QFileInfo::exists(dkimDir + "/keys"));
    sh("rm -rf " + dkimDir);
}

TEST_F(DeliverabilitySystem, ChecksGoFromRedToGreenAndSignedMailVerifies)
{
    // An empty zone: the mail domain exists and announces nothing.
    ASSERT_TRUE(writeFile(zoneFile, QString()));
    startUnbound();

    const QString output = dkimScript(dkim::Mode::Sign, selector, {domain});
    ASSERT_TRUE(dkim::refusal(output).isEmpty()) << output.toStdString();
    const QString key = dkim::publicKeys(output, selector).value(domain);
    ASSERT_GT(key.size(), 300) << output.toStdString(); // a 2048-bit key's SubjectPublicKeyInfo
    const QString keyFile = dkimDir + "/keys/" + domain + "/" + selector + ".private";
    uid_t owner = 0;
    EXPECT_EQ(modeOf(keyFile, &owner), 0600);
    EXPECT_EQ(owner, ::getpwnam("opendkim")->pw_uid);
    EXPECT_EQ(sh("openssl pkey -in " + keyFile + " -noout -text | head -1").trimmed(), "Private-Key: (2048 bit, 2 primes)");
    // Asking again keeps the key: the published record stays good.
    EXPECT_EQ(dkim::publicKeys(dkimScript(dkim::Mode::Show, selector, {domain}), selector).value(domain), key);

    const QList<dns::CheckRow> red = checks(key);
    ASSERT_EQ(red.size(), 6);
    QStringList zone;
    for (const dns::CheckRow& row : red) {
        EXPECT_EQ(row.state, dns::CheckState::Failed) << describe(red).toStdString();
        ASSERT_FALSE(row.suggestion.isEmpty()) << row.record.toStdString();
        // The address is the one thing the administrator fills in.
        QString record = row.suggestion;
        record.replace(QStringLiteral("<this server's address>"), mailAddress);
        zone.append(QStringLiteral("local-data: '%1'").arg(record));
    }
    ASSERT_TRUE(writeFile(zoneFile, zone.join(u'\n') + u'\n'));
    startUnbound();
    const QList<dns::CheckRow> green = checks(key);
    for (const dns::CheckRow& row : green)
        EXPECT_EQ(row.state, dns::CheckState::Passed) << describe(green).toStdString();

    // Postfix with the milter lines, the signing job beside it, a local delivery.
    QDir().mkpath(configDir);
    for (const char* name : {"main.cf.default", "master.cf.default"}) {
        QFile::remove(configDir + '/' + name);
        QFile::copy(sourceDir + "/server/usr/local/tarnwick/postfix/etc/" + name, configDir + '/' + name);
    }
    QFile::copy(configDir + "/main.cf.default", configDir + "/main.cf");
    QTemporaryDir resources;
    QDir(resources.path()).mkpath(QString::fromLatin1(workingFolderName));
    PostfixForm form;
    form.mydomain = domain;
    form.messagesize = QStringLiteral("10240000");
    form.mailboxsize = QStringLiteral("51200000");
    form.aliases = QStringLiteral("postmaster: root");
    form.dkimSigning = true;
    const PostfixConfigResult config = collectPostfixConfig(form, scriptText(QStringLiteral("configure-postfix.sh")));
    ASSERT_TRUE(config.error.isEmpty());
    QProcess configure;
    configure.setWorkingDirectory(resources.path());
    configure.start(config.arguments.first(), config.arguments.mid(1));
    configure.waitForFinished(120000);
    const QString mainCf = readFile(configDir + "/main.cf");
    EXPECT_TRUE(mainCf.contains("smtpd_milters=inet:127.0.0.1:8891\nnon_smtpd_milters=$smtpd_milters\n"
                                "milter_default_action=accept\n"));
    sh("postfix -c " + configDir + " start");
    sh("launchctl load -w /Library/LaunchDaemons/com.dadarozudedarid.opendkim.plist");
    ASSERT_TRUE(waitFor([] { return sh(QStringLiteral("ss -ltn 'sport = :8891'")).contains("127.0.0.1:8891"); }, 15))
        << sh(QStringLiteral("launchctl list; tail -20 /var/log/mail.log /var/log/syslog 2>/dev/null"))
               .toStdString();

    sh(QStringLiteral("rm -f /var/mail/bob; printf 'From: alice@example.test\\nTo: bob@example.test\\n"
                      "Subject: signed\\n\\nHello Bob.\\n' | sendmail -f alice@example.test bob@example.test"));
    ASSERT_TRUE(waitFor([] { return readFile(QStringLiteral("/var/mail/bob")).contains("Hello Bob."); }, 30))
        << sh(QStringLiteral("postqueue -p; tail -20 /var/log/mail.log")).toStdString();
    const QString mailbox = readFile(QStringLiteral("/var/mail/bob"));
    EXPECT_TRUE(mailbox.contains("DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/simple; d=example.test;"))
        << mailbox.toStdString();
    EXPECT_TRUE(mailbox.contains("s=sandbox;")) << mailbox.toStdString();
    // The message as it was delivered, without the mailbox's "From " line.
    ASSERT_TRUE(writeFile(QStringLiteral("/tmp/signed.eml"), mailbox.section(u'\n', 1)));
    int verified = -1;
    const QString verdict = sh(QStringLiteral("opendkim-testmsg < /tmp/signed.eml"), &verified);
    EXPECT_EQ(verified, 0) << verdict.toStdString();

    // A changed body no longer verifies: the check above really checked.
    QString tampered = mailbox.section(u'\n', 1);
    tampered.replace(QStringLiteral("Hello Bob."), QStringLiteral("Hello Eve."));
    ASSERT_TRUE(writeFile(QStringLiteral("/tmp/tampered.eml"), tampered));
    int broken = 0;
    sh(QStringLiteral("opendkim-testmsg < /tmp/tampered.eml"), &broken);
    EXPECT_NE(broken, 0);

    // Off: the job goes, the keys stay.
    EXPECT_TRUE(dkim::refusal(dkimScript(dkim::Mode::Off, selector, {domain})).isEmpty());
    EXPECT_TRUE(waitFor([] { return !sh(QStringLiteral("ss -ltn 'sport = :8891'")).contains("127.0.0.1:8891"); }, 25));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/Library/LaunchDaemons/com.dadarozudedarid.opendkim.plist")));
    EXPECT_TRUE(QFileInfo::exists(keyFile));
    sh("postfix stop; kill $(cat /run/brevane-unbound.pid)");
}
