// Runs inside tests/system/sandbox.sh only: the scripts write under /System,
// /usr/local and /var as root.
#include "FetchmailRows.h"

#include "certificates/CertificateCheck.h"
#include "fetchmail/AccountCheck.h"
#include "fetchmail/PollingIntervals.h"
#include "fetchmail/RunControlReader.h"
#include "fetchmail/RunControlWriter.h"
#include "postfix/Certificates.h"
#include "postfix/ServiceRules.h"
#include "shell/ResourcePaths.h"
#include "shell/TextHelpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <sys/stat.h>

using namespace brevane;

namespace {

const QString certsFolder = QStringLiteral("/System/Library/OpenSSL/certs");

class Sandboxed : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariable("BREVANE_IN_SANDBOX") != QLatin1String("1"))
            GTEST_SKIP() << "runs only inside tests/system/sandbox.sh";
        // The helper runs every script in a resource directory holding BrevaneStuff.
        ASSERT_TRUE(m_resources.isValid());
        ASSERT_TRUE(QDir(m_resources.path()).mkdir("BrevaneStuff"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(BREVANE_BUILD_RESOURCES "/BrevaneStuff/openssl.cnf"),
                                stuff("openssl.cnf")));
    }

    QString stuff(const QString& name) const { return m_resources.path() + "/BrevaneStuff/" + name; }

    // What the privileged runner does: run the vector in the resource
    // directory and answer the output less its last character.
    QString run(const QStringList& arguments, const QStringList& environment = {}) const
    {
        QProcess process;
        process.setWorkingDirectory(m_resources.path());
        if (!environment.isEmpty())
            process.setEnvironment(QProcess::systemEnvironment() + environment);
        process.start(arguments.at(0), arguments.mid(1));
        process.waitForFinished(60000);
        m_lastExitCode = process.exitCode();
        const QString output = QString::fromUtf8(process.readAllStandardOutput());
        return output.left(output.size() - 1);
    }

    QTemporaryDir m_resources;
    mutable int m_lastExitCode = -1;
};

using CertificateScript = Sandboxed;
using InstallFetchmailrc = Sandboxed;

QMap<QString, QString> subjectOf(const QString& pem)
{
    QProcess openssl;
    openssl.start("openssl", {"x509", "-in", pem, "-noout", "-subject", "-nameopt", "sep_multiline,utf8"});
    openssl.waitForFinished();
    QMap<QString, QString> fields;
    for (const QString& line : QString::fromUtf8(openssl.readAllStandardOutput()).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith("    ") && equals > 0)
            fields.insert(line.mid(4, equals - 4), line.mid(equals + 1));
    }
    return fields;
}

// How many of the three files hold a certificate openssl can read, as the
// SSL light's probe finds them (a key without its certificate does not count).
qsizetype readableCertificates(const QString& probeOutput)
{
    const QList<certificates::CertificateFacts> found = certificates::parseProbe(probeOutput);
    return std::count_if(found.cbegin(), found.cend(), [](const auto& facts) { return facts.readable; });
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void makeCertificate(const CertificateSubject& subject, const std::function<QString(const QStringList&)>& run)
{
    ASSERT_TRUE(QDir().mkpath(certsFolder));
    for (const char* name : {"imapd.pem", "ipop3d.pem", "smtpd.pem"})
        QFile::remove(certsFolder + "/" + name);
    const QString output = run(createCertsArguments(subject));
    EXPECT_TRUE(output.endsWith("NOTE : Please look into /System/Library/OpenSSL/certs")) << output.toStdString();
}

} // namespace

TEST_F(CertificateScript, InstallsThreeCopiesWithTheValuesAsTyped)
{
    const QString marker = "/tmp/brevane-sed-ran";
    const CertificateSubject subject{" GB ", "Hilllocality", "a/b&c\\d", "x/e", "x/;e touch " + marker + ";#",
                                     "mail.example.com", "me&you@example.com"};
    const QByteArray templateBefore = contents(stuff("openssl.cnf"));
    makeCertificate(subject, [this](const QStringList& a) { return run(a); });

    const QByteArray imapd = contents(certsFolder + "/imapd.pem");
    EXPECT_TRUE(imapd.contains("BEGIN CERTIFICATE"));
    EXPECT_TRUE(imapd.contains("PRIVATE KEY"));
    EXPECT_EQ(contents(certsFolder + "/ipop3d.pem"), imapd);
    EXPECT_EQ(contents(certsFolder + "/smtpd.pem"), imapd);

    const QMap<QString, QString> expected{{"C", "GB"},
                                          {"ST", "Hilllocality"},
                                          {"L", "a/b&c\\d"},
                                          {"O", "x/e"},
                                          {"OU", "x/;e touch " + marker + ";#"},
                                          {"CN", "mail.example.com"},
                                          {"emailAddress", "me&you@example.com"}};
    EXPECT_EQ(subjectOf(certsFolder + "/imapd.pem"), expected);
    EXPECT_FALSE(QFile::exists(marker)) << "a value ran a command through sed";

    // The working folder is left as it was.
    EXPECT_EQ(contents(stuff("openssl.cnf")), templateBefore);
    EXPECT_FALSE(QFile::exists(stuff("openssl.cnf.temp")));
    EXPECT_FALSE(QFile::exists(stuff("cert.pem")));
}

TEST_F(CertificateScript, ShellAndOpensslCharactersStayLiteral)
{
    const QString punctuation = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
    const CertificateSubject subject{"DE", "$HOME ${HOME}", "`id` $(id)", "a\"b'c", punctuation,
                                     "\\n\\t\\\\", "line\nbreak@example.com"};
    makeCertificate(subject, [this](const QStringList& a) { return run(a); });
    const QMap<QString, QString> expected{{"C", "DE"},
                                          {"ST", "$HOME ${HOME}"},
                                          {"L", "`id` $(id)"},
                                          {"O", "a\"b'c"},
                                          {"OU", punctuation},
                                          {"CN", "\\n\\t\\\\"},
                                          {"emailAddress", "line break@example.com"}};
    EXPECT_EQ(subjectOf(certsFolder + "/smtpd.pem"), expected);
}

// A fresh install has no mail domain, and openssl refuses a typo'd country:
// neither may leave a key without its certificate in place of the three.
TEST_F(CertificateScript, EmptyFieldsStillGiveAPrivateCertificate)
{
    const auto runner = [this](const QStringList& a) { return run(a); };
    makeCertificate({"", "", "", "", "", "", ""}, runner);
    EXPECT_EQ(subjectOf(certsFolder + "/smtpd.pem"), (QMap<QString, QString>{{"CN", QSysInfo::machineHostName()}}));
    for (const char* name : {"imapd.pem", "ipop3d.pem", "smtpd.pem"})
        EXPECT_EQ(QFileInfo(certsFolder + "/" + name).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
                  QFile::ReadOwner | QFile::WriteOwner)
            << name;
    EXPECT_EQ(readableCertificates(run(shellCommand(certificates::probeCommand()))), 3);
}

TEST_F(CertificateScript, AFailedRunKeepsTheWorkingCertificates)
{
    const auto runner = [this](const QStringList& a) { return run(a); };
    makeCertificate({"DE", "", "", "", "", "mail.example.com", ""}, runner);
    const QByteArray working = contents(certsFolder + "/imapd.pem");
    EXPECT_FALSE(certificatesInstalled(run(createCertsArguments({"Germany", "", "", "", "", "mail.example.com", ""}))));
    for (const char* name : {"imapd.pem", "ipop3d.pem", "smtpd.pem"})
        EXPECT_EQ(contents(certsFolder + "/" + name), working) << name;
    EXPECT_FALSE(QFile::exists(stuff("cert.pem")));
}

TEST_F(CertificateScript, AKeyWithoutItsCertificateIsNoCertificate)
{
    ASSERT_TRUE(QDir().mkpath(certsFolder));
    run({"/bin/sh", "-c", "for f in imapd ipop3d smtpd; do openssl genpkey -algorithm ec -pkeyopt "
                          "ec_paramgen_curve:P-256 -out " + certsFolder + "/$f.pem; done"});
    EXPECT_EQ(readableCertificates(run(shellCommand(certificates::probeCommand()))), 0);
}

TEST_F(InstallFetchmailrc, WritesTheFileOwnerOnlyAndReadsBack)
{
    const QString path = QLatin1String(fetchmailRunControlPath);
    ASSERT_TRUE(QDir().mkpath("/usr/local/tarnwick/postfix/LaunchDaemons"));
    QFile::remove("/var/log/fetchmail.log");

    Row pop = fetchmailRow("pop.example.com", "POP3", "YES", "YES", "*");
    pop.insert("via", "relay.example");
    pop.insert("aka", "a.example, b.example,c.example");
    Row imap = fetchmailRow("imap.example.com", "IMAP", "NO", "NO");
    imap.insert("password", "pä'ss%1#");
    const auto text = fetchmailRunControl({pop, imap}, pollingIntervalText("300"), timeoutText("45"));
    ASSERT_TRUE(text.has_value());

    run(installFetchmailArguments(*text)); // launchctl is not here: only the file counts
    EXPECT_EQ(contents(path), (*text + "\n").toUtf8());
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(status.st_uid, 0u);
    EXPECT_FALSE(QFile::exists(stuff("fetchmailrc")));
    EXPECT_TRUE(QFile::exists("/var/log/fetchmail.log"));

    const CommandRunner runner = [this](const QStringList& a) { return run(a); };
    const Rows back = readFetchmailAccounts(runner, checkIfUnixPathExists(path));
    ASSERT_EQ(back.size(), 2);
    pop.insert("aka", "a.example, b.example, c.example");
    EXPECT_EQ(back.at(0), pop);
    EXPECT_EQ(back.at(1), imap);

    // Real fetchmail accepts the file as root (it insists on 0600) and reads
    // every account as written.
    const QString dump = run({"fetchmail", "-f", path, "--configdump"}, {"HOME=" + m_resources.path()});
    EXPECT_EQ(m_lastExitCode, 0) << dump.toStdString();
    for (const char* expected :
         {"'poll_interval':300", "\"logfile\":\"/var/log/fetchmail.log\"", "\"pollname\":\"pop.example.com\"",
          "\"via\":\"relay.example\"", "\"aka\":[\"a.example\", \"b.example\", \"c.example\"]", "'uidl':TRUE",
          "'timeout':45", "'ss%1#\"", "'localnames':[\"joe\"]", "'ssl':TRUE",
          "\"pollname\":\"imap.example.com\"", "\"protocol\":\"IMAP\""})
        EXPECT_TRUE(dump.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_FALSE(dump.contains("\"mda\":\"")) << dump.toStdString();

    // A second install replaces the file whole.
    run(installFetchmailArguments(*fetchmailRunControl({imap}, "60", "0")));
    EXPECT_EQ(readFetchmailAccounts(runner, true), Rows{imap});
}

TEST_F(InstallFetchmailrc, UncheckedRowWouldGiveFetchmailACommand)
{
    // Why rows are checked: the same line written without the check hands
    // fetchmail an mda, which it runs as root for every message.
    Row hostile = fetchmailRow("mail.example.com", "POP3", "NO", "NO");
    hostile.insert("password", "x\" mda \"/bin/touch /tmp/owned");
    QTemporaryDir dir;
    const QString file = dir.path() + "/rc";
    QFile rc(file);
    ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
    rc.write(fetchmailPollLine(hostile, "45").toUtf8());
    rc.close();
    rc.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const QString dump = run({"fetchmail", "-f", file, "--configdump"}, {"HOME=" + dir.path()});
    EXPECT_TRUE(dump.contains("\"mda\":\"/bin/touch /tmp/owned\"")) << dump.toStdString();

    QString error;
    EXPECT_FALSE(fetchmailRunControl({hostile}, "60", "45", &error).has_value());
    EXPECT_EQ(error, "Row 1 (mail.example.com): the password holds a double quote. Nothing was written.");
}

// A hostile POP3 server: its capability list never ends. Test Account's
// run ends by itself within its 30 seconds and says so; before Dovecot
// takes port 110 in the tests below.
TEST_F(Sandboxed, AnEndlessCapabilityListEndsTheCheckInThirtySeconds)
{
    QProcess server;
    // Each connection greeted; the first that asks for the capabilities gets them without end.
    server.start("python3", {"-c", "import socket\n"
                                   "s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
                                   "s.bind(('127.0.0.1', 110)); s.listen(5)\n"
                                   "lines = b'X-ENDLESS-CAPABILITY\\r\\n' * 4096\n"
                                   "while True:\n"
                                   "    c, _ = s.accept()\n"
                                   "    try:\n"
                                   "        c.sendall(b'+OK ready\\r\\n')\n"
                                   "        if c.recv(100):\n"
                                   "            c.sendall(b'+OK\\r\\n')\n"
                                   "            while True: c.sendall(lines)\n"
                                   "    except OSError: pass\n"
                                   "    c.close()\n"});
    for (int i = 0; i < 100 && !services::isPortOpen(110); ++i)
        QThread::msleep(100);
    ASSERT_TRUE(services::isPortOpen(110));
    Row row = fetchmailRow("127.0.0.1", "POP3", "NO", "NO", "alice");
    QString line = fetchmailPollLine(row, "20");
    line.chop(1);
    QElapsedTimer clock;
    clock.start();
    // The run's end only: all of it is hundreds of megabytes.
    const QString end = run({"/bin/sh", "-c", "/bin/sh -c \"$1\" '' \"$2\" | tail -c 4096", "",
                             scriptText("check-fetchmail-account.sh"), line});
    EXPECT_LT(clock.elapsed(), 45'000);
    EXPECT_TRUE(end.contains("POP3< X-ENDLESS-CAPABILITY")) << end.toStdString();
    EXPECT_EQ(fetchmailCheckSummary(end), "No complete answer within 30 seconds") << end.toStdString();
    server.kill();
    server.waitForFinished();
}

namespace {

// Plain POP3 and IMAP servers without STARTTLS, and Postfix to deliver to
// (mail-servers-fixture.sh); `messages` wait for remote1.
class PlainMailServers : public Sandboxed
{
protected:
    void SetUp() override
    {
        Sandboxed::SetUp();
        if (IsSkipped())
            return;
        fixture(QStringLiteral("start_mail_servers '%1'").arg(QStringLiteral(BREVANE_BUILD_RESOURCES
                                                                              "/BrevaneStuff/postfix.tar.gz")));
    }

    void fixture(const QString& command) const
    {
        const QString output = run({"bash", "-c", "source '" FETCHMAIL_FIXTURE "' && " + command});
        ASSERT_EQ(m_lastExitCode, 0) << output.toStdString();
    }

    static Row account(const char* protocol, const char* password = "Remote pw 3")
    {
        Row row = fetchmailRow("127.0.0.1", protocol, "NO", "NO", "alice");
        row.insert("there", "remote1");
        row.insert("password", password);
        return row;
    }

    QString check(const Row& row) const { return fetchmailCheckSummary(run(checkFetchmailAccountArguments(row, "20"))); }

    // fetchmail's SMTP delivery only queues the mail; Postfix delivers each
    // message by itself, in no fixed order, and on a loaded machine late.
    // Waits until it has handed on every one, up to a minute.
    bool queueDrained() const
    {
        for (int i = 0; i < 600; ++i) {
            if (run({"postqueue", "-p"}).startsWith("Mail queue is empty"))
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    // One poll of the installed run-control text, as the daemon makes it.
    QString fetch(const Rows& rows) const
    {
        const QString file = m_home.path() + "/fetchmailrc";
        QFile rc(file);
        EXPECT_TRUE(rc.open(QIODevice::WriteOnly));
        rc.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        rc.write(fetchmailRunControl(rows, "60", "20").value_or(QString()).toUtf8());
        rc.close();
        return run({"fetchmail", "-d0", "-f", file, "--pidfile", m_home.path() + "/pid"}, {"HOME=" + m_home.path()});
    }

    QTemporaryDir m_home;
};

QString mailboxOf(const char* user)
{
    return QString::fromUtf8(contents(QStringLiteral("/var/mail/") + user));
}

// Messages left for remote1 (Dovecot keeps its own bookkeeping in the mbox).
qsizetype waiting()
{
    return mailboxOf("remote1").count(QStringLiteral("\nSubject: Waiting "));
}

} // namespace

TEST_F(PlainMailServers, AnAccountWithoutSslFetchesFromAServerWithoutStartTls)
{
    for (const char* protocol : {"POP3", "IMAP"}) {
        fixture("fill_mailbox 2");
        QFile::remove("/var/mail/alice");
        const QString output = fetch({account(protocol)});
        EXPECT_EQ(m_lastExitCode, 0) << protocol << "\n" << output.toStdString();
        EXPECT_EQ(waiting(), 0) << protocol << "\n" << mailboxOf("remote1").toStdString();
        ASSERT_TRUE(queueDrained()) << run({"postqueue", "-p"}).toStdString();
        EXPECT_TRUE(mailboxOf("alice").contains("Subject: Waiting 1")) << protocol;
        EXPECT_TRUE(mailboxOf("alice").contains("Subject: Waiting 2")) << protocol;
    }
    // The same line as before, without "sslproto ''": fetchmail tries STARTTLS and gives up.
    fixture("fill_mailbox 1");
    QString line = fetchmailPollLine(account("POP3"), "20");
    ASSERT_TRUE(line.contains(" sslproto ''"));
    line.replace(" sslproto ''", "");
    EXPECT_EQ(fetchmailCheckSummary(run({"/bin/sh", "-c", scriptText("check-fetchmail-account.sh"), "", line})),
              "TLS failed: TLS support isn't enabled.");
}

TEST_F(PlainMailServers, TestAccountTellsWhatWaitsAndTakesNothing)
{
    fixture("fill_mailbox 3");
    // Nothing of an earlier fetch may arrive while this test watches the mailbox.
    ASSERT_TRUE(queueDrained()) << run({"postqueue", "-p"}).toStdString();
    QFile::remove("/var/mail/alice");
    EXPECT_EQ(check(account("POP3")), "3 messages waiting");
    EXPECT_EQ(check(account("IMAP")), "3 messages waiting");
    EXPECT_EQ(waiting(), 3) << "a check fetched or deleted mail";
    EXPECT_FALSE(QFile::exists("/var/mail/alice")) << "a check delivered mail";
    EXPECT_EQ(check(account("POP3", "wrong")), "Authentication failed: [AUTH] Authentication failed.");
    EXPECT_EQ(check(account("IMAP", "wrong")), "Authentication failed: [AUTHENTICATIONFAILED] Authentication failed.");
    Row secure = account("POP3");
    secure.insert("ssl", choiceEntry("YES")); // TLS from the first byte, where nothing listens
    EXPECT_EQ(check(secure), "Server not reachable: Connection refused");
    fixture("fill_mailbox 0");
    EXPECT_EQ(check(account("IMAP")), "No mail waiting");
    // No copy of the line, and so of the password, is left behind.
    // The checkout and build tree may lie under /tmp, and they hold the test's own text.
    EXPECT_TRUE(run({"sh", "-c",
                     "find /tmp /var/tmp \\( -path \"$1\" -o -path \"$2\" \\) -prune -o -type f -print0 2>/dev/null"
                     " | xargs -0 grep -l 'Remote pw 3' 2>/dev/null",
                     "sh", BREVANE_CHECKOUT, BREVANE_BUILD_TREE})
                    .isEmpty());
}
