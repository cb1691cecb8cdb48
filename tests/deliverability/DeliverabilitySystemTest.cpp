// DKIM signing and the DNS checks against real OpenDKIM, Postfix and a
// local unbound serving a test zone on 127.0.0.1. Runs only as root inside
// tests/system/sandbox.sh: it rewrites /etc/resolv.conf, binds port 53 and
// starts daemons, all inside the sandbox's own namespaces.
#include "certificates/CertificateCheck.h"
#include "SandboxPostfix.h"
#include "SandboxRun.h"
#include "deliverability/DkimSigning.h"
#include "deliverability/DnsChecks.h"
#include "deliverability/ServedCertificates.h"
#include "deliverability/UnboundResolver.h"
#include "postfix/PostfixConfig.h"
#include "shell/ResourcePaths.h"
#include "status/DnsStatus.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

using sandbox::readFile;
using sandbox::waitFor;

using namespace brevane;

namespace {

const QString sourceDir = QStringLiteral(BREVANE_SOURCE_DIR);
const QString buildDir = QStringLiteral(BREVANE_BUILD_DIR);
const QString domain = QStringLiteral("example.test");
const QString selector = QStringLiteral("sandbox");
const QString dkimDir = QStringLiteral("/usr/local/tarnwick/opendkim");
const QString reverseZone = QStringLiteral("/etc/unbound/brevane-zone.conf"); // local-data outside the domain
const QString zoneFile = QStringLiteral("/etc/unbound/example.test.zone");  // what unbound serves for the domain
const QString keyFolder = QStringLiteral("/etc/unbound/keys");
const QString certsFolder = QStringLiteral("/System/Library/OpenSSL/certs");
const QString live = QStringLiteral("/usr/local/tarnwick/postfix/acme/config/live");
const QString mailAddress = QStringLiteral("127.0.0.2"); // the mail host's address in the test zone
const QString signerFolder = QStringLiteral("/var/spool/postfix/brevane-opendkim");

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

// The script as the helper runs it: its output.
QString dkimScript(dkim::Mode mode, const QString& sel, const QStringList& domains)
{
    const QStringList arguments = dkim::scriptArguments(mode, sel, domains, scriptText(QStringLiteral("configure-dkim.sh")));
    QProcess process;
    process.start(arguments.first(), arguments.mid(1));
    process.waitForFinished(120000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool signerListens()
{
    return sh(QStringLiteral("ss -lxn")).contains(signerFolder + "/opendkim.sock");
}

// A resolver of the test zone, validating with its key when one is given.
dns::UnboundResolver resolver(const QString& trustAnchorFile = QString())
{
    dns::ResolverOptions options;
    options.trustAnchorFile = trustAnchorFile;
    options.probeName = trustAnchorFile.isEmpty() ? QString() : domain;
    options.timeoutMilliseconds = 1000;
    return dns::UnboundResolver(options);
}

dns::Answer resolve(const QString& name, dns::RecordType type)
{
    dns::UnboundResolver asking = resolver();
    return asking.resolve(name, type);
}

QList<dns::CheckRow> checks(const QString& publicKey, const QString& trustAnchorFile = QString())
{
    dns::UnboundResolver asking = resolver(trustAnchorFile);
    return dns::runChecks({{domain}, selector, {{domain, publicKey}}, mailAddress, asking.validates()},
                          asking.lookup(), [](const QString& address) {
                              return dns::servedCertificates(address, 5000, nullptr);
                          });
}

QString describe(const QList<dns::CheckRow>& rows)
{
    QString text;
    for (const dns::CheckRow& row : rows)
        text += QStringLiteral("%1 %2 state=%3 found=%4\n").arg(row.record, row.name).arg(int(row.state)).arg(row.found);
    return text;
}

// The domain's zone holding `records` (zone-file lines; those about the
// reverse zone go to unbound's local data), signed when `sign` says so, one
// signature then broken when `breakSignature` does.
void writeZone(const QStringList& records, bool sign = false, bool breakSignature = false)
{
    QString zone = QStringLiteral("$TTL 300\n%1. IN SOA ns.%1. hostmaster.%1. 1 3600 600 86400 300\n"
                                  "%1. IN NS ns.%1.\nns.%1. IN A 127.0.0.1\n")
                       .arg(domain);
    QString local;
    for (const QString& line : records) {
        if (line.startsWith(u';'))
            continue;
        if (line.section(u' ', 0, 0).endsWith(QLatin1String(".in-addr.arpa.")))
            local += QStringLiteral("local-data: '%1'\n").arg(line);
        else
            zone += line + u'\n';
    }
    ASSERT_TRUE(writeFile(reverseZone, local));
    ASSERT_TRUE(writeFile(zoneFile + ".plain", zone));
    if (!sign) {
        ASSERT_TRUE(writeFile(zoneFile, zone));
        return;
    }
    int status = 0;
    const QString output = sh("cd " + keyFolder + " && ldns-signzone -f " + zoneFile + " " + zoneFile + ".plain "
                              + "$(cat zsk) $(cat ksk)", &status);
    ASSERT_EQ(status, 0) << output.toStdString();
    if (!breakSignature)
        return;
    // The MX set's signature, changed in its last bytes: it no longer checks out.
    QStringList lines = readFile(zoneFile).split(u'\n');
    bool broken = false;
    for (QString& line : lines) {
        if (line.contains(QLatin1String("RRSIG\tMX ")) && !broken) {
            const qsizetype end = line.size() - 6;
            line.replace(end, 4, line.mid(end, 4) == QLatin1String("AAAA") ? QStringLiteral("BBBB")
                                                                          : QStringLiteral("AAAA"));
            broken = true;
        }
    }
    ASSERT_TRUE(broken) << readFile(zoneFile).toStdString();
    ASSERT_TRUE(writeFile(zoneFile, lines.join(u'\n')));
}

// unbound on 127.0.0.1:53 with the test zone and whatever records it holds.
void startUnbound()
{
    sh(QStringLiteral("test -f /run/brevane-unbound.pid && kill $(cat /run/brevane-unbound.pid); sleep 0.3"));
    sh(QStringLiteral("unbound -c /etc/unbound/brevane-test.conf"));
    ASSERT_TRUE(waitFor([] { return resolve(QStringLiteral("ns.") + domain, dns::RecordType::A).outcome
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
                                 "  local-zone: \"test.\" transparent\n  local-zone: \"127.in-addr.arpa.\" static\n"
                                 "  include: \"%2\"\n"
                                 "auth-zone:\n  name: \"%1.\"\n  zonefile: \"%3\"\n  for-downstream: yes\n"
                                 "  for-upstream: yes\n  fallback-enabled: no\n")
                      .arg(domain, reverseZone, zoneFile));
        // The zone's keys, made once; the key-signing one is the trust anchor.
        QDir().mkpath(keyFolder);
        sh("cd " + keyFolder + " && ldns-keygen -a ECDSAP256SHA256 " + domain + " > zsk && ldns-keygen -k -a "
           "ECDSAP256SHA256 " + domain + " > ksk && cp $(cat ksk).key anchor.key");
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

    // Abandoned answers end the wait at once, however long it could go on.
    const auto abandoned = std::make_shared<std::atomic_bool>(false);
    dns::ResolverOptions patient;
    patient.trustAnchorFile.clear();
    patient.timeoutMilliseconds = 600000;
    patient.abandoned = abandoned;
    QElapsedTimer waited;
    waited.start();
    std::thread closing([abandoned] {
        QThread::msleep(300);
        abandoned->store(true);
    });
    dns::UnboundResolver asking(patient);
    const QList<dns::CheckRow> gaveUp = dns::runChecks({{domain}, selector, {}, mailAddress}, asking.lookup(), {});
    closing.join();
    EXPECT_LT(waited.elapsed(), 10000);
    for (const dns::CheckRow& row : gaveUp)
        EXPECT_EQ(row.state, dns::CheckState::Unreachable) << row.record.toStdString();
    ::close(sink);
    ASSERT_EQ(rows.size(), 8);
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

    // Nor is a symlink or someone else's folder where the signer's socket goes.
    for (const QString& plant : {QStringLiteral("ln -s /tmp/elsewhere "), QStringLiteral("mkdir -m 777 ")}) {
        sh(plant + signerFolder + "; chown -h bob " + signerFolder);
        EXPECT_TRUE(dkim::refusal(dkimScript(dkim::Mode::Sign, selector, {domain})).contains(signerFolder));
        EXPECT_FALSE(QFileInfo::exists(dkimDir + "/opendkim.conf")) << plant.toStdString();
        sh("rm -rf " + signerFolder + " " + dkimDir);
    }
}

TEST_F(DeliverabilitySystem, CertificatePairsThatCannotWorkAreRefusedAndShowRed)
{
    // A good pair for the mail host; its certificate with another key; one
    // valid only from 2030 (signed by itself through openssl ca, which can
    // set the start date).
    int status = 0;
    const QString made = sh(QStringLiteral(
        "set -e; rm -rf /tmp/pairs; mkdir -p /tmp/pairs/ca/newcerts; cd /tmp/pairs; : > ca/index.txt;"
        "ec='-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes';"
        "openssl req -x509 $ec -keyout good.key -out good.crt -days 30 -subj /CN=mail.example.test"
        "  -addext subjectAltName=DNS:mail.example.test 2>&1;"
        "openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out other.key;"
        "openssl req -new $ec -keyout future.key -out future.csr -subj /CN=mail.example.test 2>&1;"
        "printf '[ca]\\ndefault_ca=d\\n[d]\\ndatabase=ca/index.txt\\nnew_certs_dir=ca/newcerts\\n"
        "rand_serial=yes\\ndefault_md=sha256\\npolicy=p\\nunique_subject=no\\n[p]\\ncommonName=supplied\\n' > ca.cnf;"
        "openssl ca -batch -notext -config ca.cnf -selfsign -keyfile future.key -in future.csr -out future.crt"
        "  -startdate 20300101000000Z -enddate 20310101000000Z 2>&1;"
        "for pair in good:good:good mismatch:good:other future:future:future; do"
        "  name=${pair%%:*}; rest=${pair#*:}; crt=${rest%%:*}; key=${rest#*:};"
        "  mkdir -p %1/$name; cp $crt.crt %1/$name/fullchain.pem; cp $key.key %1/$name/privkey.pem;"
        "done")
                                .arg(live),
                            &status);
    ASSERT_EQ(status, 0) << made.toStdString();
    const auto install = [](const QString& name) {
        int exit = -1;
        sh("/bin/sh " + sourceDir + "/app/scripts/install-certificate.sh " + live + "/" + name, &exit);
        return exit;
    };
    const auto light = [] {
        return certificates::judge(certificates::parseProbe(sh(certificates::probeCommand())), 3,
                                   QStringLiteral("mail.example.test"), QDateTime::currentDateTimeUtc());
    };
    ASSERT_EQ(install(QStringLiteral("good")), 0);
    EXPECT_TRUE(light().usable) << light().reason.toStdString();

    for (const auto& [name, reason] : std::vector<std::pair<QString, QString>>{
             {"mismatch", "The private key beside the certificate is not its own"},
             {"future", "The certificate is valid only from 2030-01-01 00:00 UTC"}}) {
        const QString before = readFile(certsFolder + "/smtpd.pem");
        EXPECT_EQ(install(name), 1) << name.toStdString();
        EXPECT_EQ(readFile(certsFolder + "/smtpd.pem"), before) << name.toStdString();
        // The same pair put in place by hand turns the light red.
        for (const char* file : {"imapd", "ipop3d", "smtpd"})
            sh(QStringLiteral("cat %1/%2/fullchain.pem %1/%2/privkey.pem > %3/%4.pem").arg(live, name, certsFolder,
                                                                                          file));
        const certificates::Verdict verdict = light();
        EXPECT_FALSE(verdict.usable) << name.toStdString();
        EXPECT_TRUE(verdict.reason.startsWith(reason)) << verdict.reason.toStdString();
    }
    // The good pair again, for Postfix to serve from here on.
    ASSERT_EQ(install(QStringLiteral("good")), 0);
    EXPECT_TRUE(light().usable) << light().reason.toStdString();
}

TEST_F(DeliverabilitySystem, ChecksGoFromRedToGreenAndSignedMailVerifies)
{
    // An empty zone: the mail domain exists and announces nothing.
    writeZone({});
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
    ASSERT_EQ(red.size(), 8);
    QStringList zone;
    QStringList failed;
    for (const dns::CheckRow& row : red) {
        // Without a trust anchor DNSSEC cannot be judged; an unsigned zone has no DANE.
        if (row.record == QLatin1String("DNSSEC") || row.record == QLatin1String("TLSA")) {
            EXPECT_EQ(row.state, row.record == QLatin1String("TLSA") ? dns::CheckState::Passed
                                                                     : dns::CheckState::Unjudged)
                << describe(red).toStdString();
            continue;
        }
        failed.append(row.record);
        EXPECT_EQ(row.state, dns::CheckState::Failed) << describe(red).toStdString();
        ASSERT_FALSE(row.suggestion.isEmpty()) << row.record.toStdString();
        // The address is the one thing the administrator fills in.
        QString record = row.suggestion;
        record.replace(QStringLiteral("<this server's address>"), mailAddress);
        zone += record.split(u'\n');
    }
    EXPECT_EQ(failed, (QStringList{"PTR", "MX", "A/AAAA", "SPF", "DKIM", "DMARC"}));
    // The Status tab's row of the domain, asked as the window asks: the
    // system's resolver with its own trust anchor, on the check's own thread.
    const auto statusRow = [&key] {
        return status::runChecks(status::dnsChecks({{domain}, selector, {{domain, key}}, mailAddress, {}, {}, {}}))
            .value(0)
            .result;
    };
    const status::Result redRow = statusRow();
    EXPECT_EQ(redRow.state, status::State::Red) << redRow.found.toStdString();
    EXPECT_TRUE(redRow.whatToDo.contains("publish example.test. IN MX 10 mail.example.test.")) << redRow.whatToDo.toStdString();
    writeZone(zone);
    startUnbound();
    const QList<dns::CheckRow> green = checks(key);
    for (const dns::CheckRow& row : green) {
        if (row.record != QLatin1String("DNSSEC"))
            EXPECT_EQ(row.state, dns::CheckState::Passed) << describe(green).toStdString();
    }
    const status::Result greenRow = statusRow();
    EXPECT_EQ(greenRow.state, status::State::Green) << greenRow.found.toStdString();

    // Postfix with the milter lines, the signing job beside it, a local delivery.
    PostfixForm form = sandbox::postfixForm(domain);
    form.dkimSigning = true;
    form.enableSSL = true; // STARTTLS with the certificate installed above, for DANE
    sandbox::freshPostfixConfig();
    const auto configure = [&] {
        sandbox::configurePostfix(form);
        return readFile(sandbox::postfixConfigDir + "/main.cf");
    };
    // A signer set up before the socket listens on TCP: Postfix reaches it
    // there until the signing is applied again, then follows it.
    sh("sed -i 's|^Socket .*|Socket inet:8891@127.0.0.1|' " + dkimDir + "/opendkim.conf");
    EXPECT_TRUE(configure().contains("smtpd_milters=inet:127.0.0.1:8891\n"));
    ASSERT_TRUE(dkim::refusal(dkimScript(dkim::Mode::Sign, selector, {domain})).isEmpty());
    EXPECT_TRUE(configure().contains("smtpd_milters=unix:brevane-opendkim/opendkim.sock\nnon_smtpd_milters=$smtpd_milters\n"
                                     "milter_default_action=accept\n"));
    // Only root, the signer and Postfix reach the socket.
    EXPECT_EQ(sh("stat -c '%U:%G %a' " + signerFolder).trimmed(), "opendkim:postfix 750");
    sh("postfix -c " + sandbox::postfixConfigDir + " start");
    sh("launchctl load -w /Library/LaunchDaemons/com.dadarozudedarid.opendkim.plist");
    ASSERT_TRUE(waitFor(signerListens, 15))
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

    // A refused re-apply (a key folder someone else made) leaves the signer
    // running on its working keys: the next mail is signed too.
    sh("mkdir -m 700 " + dkimDir + "/keys/other.test; chown bob " + dkimDir + "/keys/other.test");
    const auto signer = [] { return sh(QStringLiteral("pidof opendkim")).trimmed(); };
    const QString running = signer();
    ASSERT_FALSE(running.isEmpty());
    const QString refused = dkimScript(dkim::Mode::Sign, selector, {domain, QStringLiteral("other.test")});
    EXPECT_TRUE(dkim::refusal(refused).contains("belongs to someone else")) << refused.toStdString();
    // Still the job launchd keeps, the same process, answering.
    EXPECT_TRUE(sh(QStringLiteral("launchctl list")).contains("com.dadarozudedarid.opendkim"));
    EXPECT_EQ(signer(), running);
    EXPECT_TRUE(signerListens());
    sh(QStringLiteral("rm -f /var/mail/bob; printf 'From: alice@example.test\\nTo: bob@example.test\\n"
                      "Subject: still signed\\n\\nHello again.\\n' | sendmail -f alice@example.test bob@example.test"));
    ASSERT_TRUE(waitFor([] { return readFile(QStringLiteral("/var/mail/bob")).contains("Hello again."); }, 30));
    ASSERT_TRUE(writeFile(QStringLiteral("/tmp/again.eml"), readFile(QStringLiteral("/var/mail/bob")).section(u'\n', 1)));
    int againVerified = -1;
    const QString againVerdict = sh(QStringLiteral("opendkim-testmsg < /tmp/again.eml"), &againVerified);
    EXPECT_EQ(againVerified, 0) << againVerdict.toStdString();
    EXPECT_TRUE(readFile(QStringLiteral("/tmp/again.eml")).contains("DKIM-Signature:"));
    sh("rm -rf " + dkimDir + "/keys/other.test");

    // The same zone signed: secure, with a TLSA record of the certificate
    // Postfix serves (hashed here by openssl, not by the code under test).
    const QString anchor = keyFolder + "/anchor.key";
    const QString served = sh(QStringLiteral("openssl x509 -in %1/smtpd.pem -pubkey -noout | openssl pkey -pubin "
                                             "-outform DER | sha256sum | cut -d' ' -f1")
                                  .arg(certsFolder))
                               .trimmed();
    const QString tlsaName = QStringLiteral("_25._tcp.mail.") + domain + u'.';
    writeZone(zone + QStringList{tlsaName + " IN TLSA 3 1 1 " + served}, true);
    startUnbound();
    const QList<dns::CheckRow> secure = checks(key, anchor);
    for (const dns::CheckRow& row : secure)
        EXPECT_EQ(row.state, dns::CheckState::Passed) << describe(secure).toStdString();
    EXPECT_TRUE(secure.at(6).found.startsWith("secure")) << describe(secure).toStdString();
    EXPECT_TRUE(secure.at(7).found.endsWith("names the certificate Postfix serves")) << describe(secure).toStdString();

    // A TLSA record of another key: senders using DANE would not deliver.
    writeZone(zone + QStringList{tlsaName + " IN TLSA 3 1 1 " + QString(64, u'a')}, true);
    startUnbound();
    const QList<dns::CheckRow> pinnedElsewhere = checks(key, anchor);
    EXPECT_EQ(pinnedElsewhere.at(7).state, dns::CheckState::Failed) << describe(pinnedElsewhere).toStdString();
    EXPECT_EQ(pinnedElsewhere.at(7).suggestion, tlsaName + " IN TLSA 3 1 1 " + served);

    // One signature broken: bogus, and said so.
    writeZone(zone, true, true);
    startUnbound();
    const QList<dns::CheckRow> bogus = checks(key, anchor);
    EXPECT_EQ(bogus.at(6).state, dns::CheckState::Failed) << describe(bogus).toStdString();
    EXPECT_TRUE(bogus.at(6).found.startsWith("bogus")) << describe(bogus).toStdString();

    // Off: the job goes, the keys stay.
    EXPECT_TRUE(dkim::refusal(dkimScript(dkim::Mode::Off, selector, {domain})).isEmpty());
    EXPECT_TRUE(waitFor([] { return !signerListens(); }, 25));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/Library/LaunchDaemons/com.dadarozudedarid.opendkim.plist")));
    EXPECT_TRUE(QFileInfo::exists(keyFile));
    sh("postfix stop; kill $(cat /run/brevane-unbound.pid)");
}
