// The configuration script and the reader against real Postfix and Cyrus SASL
// tools. Runs only as root inside tests/system/sandbox.sh: it creates users,
// writes under /usr/local, /etc, /usr/lib/sasl2 and /System.
#include "postfix/PostfixConfig.h"
#include "postfix/PostfixSettings.h"
#include "postfix/SmartHosts.h"
#include "SandboxPostfix.h"
#include "SandboxRun.h"
#include "shell/ResourcePaths.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace brevane;

using sandbox::readFile;

namespace {

const QString configDir = sandbox::postfixConfigDir;
const QString certDir = QStringLiteral("/System/Library/OpenSSL/certs");
const QString sourceDir = QStringLiteral(BREVANE_SOURCE_DIR);

// Output of a shell command line, standard error included.
QString sh(const QString& line)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAll());
}

int modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

bool exists(const QString& path)
{
    return QFileInfo::exists(path);
}

// A different script (an older one, to see a test fail) can be swapped in.
QString configurationScript()
{
    return readFile(qEnvironmentVariable("BREVANE_POSTFIX_SCRIPT"));
}

PostfixForm fullForm()
{
    PostfixForm f;
    f.administrator = QStringLiteral("admin");
    f.mydomain = QStringLiteral("example.com");
    f.myorigin = QStringLiteral("ignored.example");
    f.relayhost = QStringLiteral("relay.example.net");
    f.messagesize = QStringLiteral("10240000");
    f.mailboxsize = QStringLiteral("51200000 bytes");
    f.mydestination = QStringLiteral("mail.example.com,other.example");
    f.rblSites = QStringLiteral("zen.spamhaus.org, bl.spamcop.net");
    f.luserRelayTitle = QStringLiteral("/dev/null");
    f.enableSASLClient = true;
    f.requireSSLClient = true;
    f.smartHostUserID = QStringLiteral(" relayuser ");
    f.smartHostPassword = QStringLiteral("relaypw");
    f.saslAuthMethodRow = 2;
    f.sasldbPasswd = QStringLiteral("alice:secret\nbob:pw:with:colons");
    f.mynetworksStyleRow = 1;
    f.enableSSL = true;
    f.requireSSL = true;
    f.custom = QStringLiteral("smtpd_helo_restrictions = permit_mynetworks,\n    reject_invalid_helo_hostname");
    f.portNos = QStringLiteral("2525, 587");
    f.access = QStringLiteral("spam.example    REJECT\ngood.example OK");
    f.aliases = QStringLiteral("postmaster: root\nroot: alice");
    f.virtualText = QStringLiteral("info@virtual.example alice\nsales@virtual.example bob");
    f.virtualDomains = QStringLiteral("virtual.example");
    return f;
}

// What the window's glue would copy back into a form from the read-back state.
PostfixForm formFrom(const PostfixSettings& s, const PostfixForm& before)
{
    PostfixForm f = before;
    f.mydomain = s.mydomain;
    f.myorigin = s.myorigin;
    f.relayhost = s.relayhost;
    f.messagesize = s.messagesize;
    f.mailboxsize = s.mailboxsize;
    f.mydestination = s.mydestination;
    f.rblSites = s.rblSites;
    f.luserRelayTitle = s.luserRelay;
    f.enableSASLClient = s.enableSASLClient;
    f.requireSSLClient = s.requireSSLClient;
    f.smartHostUserID = s.smartHostUserID.value_or(before.smartHostUserID);
    f.smartHostPassword = s.smartHostPassword.value_or(before.smartHostPassword);
    f.saslAuthMethodRow = s.saslAuthMethodRow;
    f.sasldbPasswd = s.sasldbPasswd;
    f.mynetworksStyleRow = s.mynetworksStyleRow;
    f.enableSSL = s.enableSSL;
    f.requireSSL = s.requireSSL;
    f.custom = s.custom;
    f.portNos = s.portNos;
    f.access = s.access;
    f.aliases = s.aliases;
    f.virtualText = s.virtualText;
    f.virtualDomains = s.virtualDomains;
    return f;
}

class PostfixConfigSystem : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!sandbox::active())
            return;
        // What the server installation provides; the installer is not under test here.
        sh("getent group wheel >/dev/null || groupadd -r wheel;"
           "id _postfix >/dev/null 2>&1 || useradd -r -M -s /usr/sbin/nologin _postfix");
        sandbox::freshPostfixConfig();
        QDir().mkpath(certDir);
        sh("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=brevane-sandbox "
           "-keyout /tmp/key.pem -out /tmp/cert.pem 2>/dev/null && cat /tmp/key.pem /tmp/cert.pem > "
           + certDir + "/smtpd.pem && cp " + certDir + "/smtpd.pem " + certDir + "/ipop3d.pem && cp "
           + certDir + "/smtpd.pem " + certDir + "/imapd.pem");
    }

    void SetUp() override
    {
        if (!sandbox::active())
            GTEST_SKIP() << "needs root inside tests/system/sandbox.sh";
        ASSERT_TRUE(m_resources.isValid());
        QDir(m_resources.path()).mkpath(QString::fromLatin1(workingFolderName));
        ASSERT_TRUE(QFile::copy(sourceDir + "/app/resources/BrevaneStuff/smtpd.conf", workingFolder() + "/smtpd.conf"));
    }

    QString workingFolder() const { return m_resources.path() + '/' + workingFolderName; }

    // Runs the configuration script as the helper would; answers its output.
    QString configure(const PostfixForm& form)
    {
        return sandbox::configurePostfix(form, m_resources.path(), configurationScript());
    }

    static PostfixSettings readBack()
    {
        return loadPostfixSettings([](const QStringList& arguments) { return sandbox::runAsHelper(arguments); });
    }

    static QString blockOf(const QString& mainCf)
    {
        return mainCf.mid(readFile(configDir + "/main.cf.default").size());
    }

    QTemporaryDir m_resources;
};

const QString fullBlock = QStringLiteral(R"(###Start Brevane###
biff=no
alias_maps=hash:/usr/local/tarnwick/postfix/etc/aliases
alias_database=hash:/usr/local/tarnwick/postfix/etc/aliases
smtpd_sender_restrictions=check_sender_access hash:/usr/local/tarnwick/postfix/etc/access
inet_interfaces=all
message_size_limit=10240000
mailbox_size_limit=51200000
mynetworks_style=host
mydomain=example.com
myhostname=example.com
relayhost=relay.example.net
local_recipient_maps=
luser_relay=devnull
mydestination=localhost,localhost.$myhostname,$myhostname,mail.example.com,other.example

smtpd_use_tls=yes
smtpd_tls_cert_file=/System/Library/OpenSSL/certs/smtpd.pem
smtpd_tls_key_file=$smtpd_tls_cert_file
tls_random_source=dev:/dev/urandom
smtpd_tls_auth_only=yes

smtpd_sasl_auth_enable=yes
smtpd_recipient_restrictions=permit_sasl_authenticated, permit_mynetworks, reject_unauth_destination, check_recipient_access hash:/usr/local/tarnwick/postfix/etc/access
smtpd_sasl_local_domain=$mydomain

smtp_sasl_auth_enable=yes
smtp_sasl_password_maps=hash:/usr/local/tarnwick/postfix/etc/sasl_passwd
smtp_sasl_security_options=
smtp_use_tls=yes

smtpd_client_restrictions=check_client_access hash:/usr/local/tarnwick/postfix/etc/access,reject_rbl_client zen.spamhaus.org,reject_rbl_client bl.spamcop.net
default_rbl_reply=$rbl_code Service unavailable; $rbl_class [$rbl_what] blocked using $rbl_domain${rbl_reason?; $rbl_reason} - see http://$rbl_domain.
smtpd_helo_required=yes

virtual_alias_maps=hash:/usr/local/tarnwick/postfix/etc/virtual
###End Brevane###

###Start Custom Config###
smtpd_helo_restrictions = permit_mynetworks,
 reject_invalid_helo_hostname
###End Custom Config###
)");

const QString serviceTail = QStringLiteral("      inet  n       -       n       -       -       smtpd\n");

} // namespace

TEST_F(PostfixConfigSystem, FullFormWritesEveryFileAndPostfixAcceptsIt)
{
    EXPECT_EQ(configure(fullForm()), "Enabling SSL for SMTP, POP3, and IMAP");

    const QString mainCf = readFile(configDir + "/main.cf");
    EXPECT_TRUE(mainCf.startsWith(readFile(configDir + "/main.cf.default")));
    EXPECT_EQ(blockOf(mainCf), fullBlock);
    EXPECT_EQ(readFile(configDir + "/master.cf"), readFile(configDir + "/master.cf.default")
                  + "###Start Brevane###\n2525" + serviceTail + "587" + serviceTail + "###End Brevane###\n");
    EXPECT_EQ(readFile(configDir + "/access"), "spam.example REJECT\ngood.example OK\n");
    EXPECT_EQ(readFile(configDir + "/aliases"), "postmaster: root\nroot: alice\ndevnull: /dev/null\n");
    EXPECT_EQ(readFile(configDir + "/virtual"),
              "virtual.example anything\ninfo@virtual.example alice\nsales@virtual.example bob\n");
    EXPECT_EQ(readFile(configDir + "/sasl_passwd"), "relay.example.net relayuser:relaypw\n");
    EXPECT_EQ(modeOf(configDir + "/sasl_passwd"), 0640);
    EXPECT_EQ(readFile(configDir + "/sasldb_passwd"), "alice:secret\nbob:pw:with:colons\n");
    EXPECT_EQ(modeOf(configDir + "/sasldb_passwd"), 0600);
    EXPECT_FALSE(exists(workingFolder() + "/main.cf.temp") || exists(workingFolder() + "/master.cf.temp"));

    // The maps answer what the texts say.
    const QString q = "/usr/sbin/postmap -c " + configDir + " -q ";
    EXPECT_EQ(sh(q + "spam.example hash:" + configDir + "/access"), "REJECT\n");
    EXPECT_EQ(sh("/usr/sbin/postalias -c " + configDir + " -q devnull hash:" + configDir + "/aliases"), "/dev/null\n");
    EXPECT_EQ(sh(q + "info@virtual.example hash:" + configDir + "/virtual"), "alice\n");
    EXPECT_EQ(sh(q + "virtual.example hash:" + configDir + "/virtual"), "anything\n");
    EXPECT_EQ(sh(q + "relay.example.net hash:" + configDir + "/sasl_passwd"), "relayuser:relaypw\n");

    // The SASL database smtpd reads, built by saslpasswd2 through smtpd.conf.
    EXPECT_EQ(readFile("/usr/lib/sasl2/smtpd.conf"), readFile(workingFolder() + "/smtpd.conf"));
    EXPECT_EQ(modeOf("/etc/sasldb2.db"), 0600);
    EXPECT_EQ(QFileInfo("/etc/sasldb2.db").owner(), "_postfix");
    EXPECT_EQ(QFileInfo("/etc/sasldb2.db").group(), "wheel");
    const QString users = sh("sasldblistusers2 -f /etc/sasldb2.db");
    EXPECT_TRUE(users.contains("alice@example.com: userPassword")) << users.toStdString();
    EXPECT_TRUE(users.contains("bob@example.com: userPassword")) << users.toStdString();

    EXPECT_EQ(sh("postfix -c " + configDir + " check"), "");
}

TEST_F(PostfixConfigSystem, FullFormReadsBackAndASecondRunChangesNothing)
{
    configure(fullForm());
    const PostfixSettings s = readBack();
    PostfixSettings expected;
    expected.mydomain = "example.com";
    expected.relayhost = "relay.example.net";
    expected.messagesize = "10240000";
    expected.mailboxsize = "51200000";
    expected.mydestination = "mail.example.com,other.example";
    expected.rblSites = "zen.spamhaus.org, bl.spamcop.net";
    expected.luserRelay = "/dev/null";
    expected.enableSASLClient = expected.requireSSLClient = true;
    expected.saslAuthMethodRow = 2;
    expected.mynetworksStyleRow = 1;
    expected.enableSSL = expected.requireSSL = true;
    expected.custom = "smtpd_helo_restrictions = permit_mynetworks,\n reject_invalid_helo_hostname";
    expected.portNos = "2525, 587";
    expected.smartHostUserID = "relayuser";
    expected.smartHostPassword = "relaypw";
    expected.sasldbPasswd = "alice:secret\nbob:pw:with:colons";
    expected.access = "spam.example REJECT\ngood.example OK";
    expected.aliases = "postmaster: root\nroot: alice\ndevnull: /dev/null";
    expected.virtualDomains = "virtual.example";
    expected.virtualText = "info@virtual.example alice\nsales@virtual.example bob";
    EXPECT_EQ(s, expected);

    const QString firstMainCf = readFile(configDir + "/main.cf");
    configure(formFrom(s, fullForm()));
    EXPECT_EQ(readFile(configDir + "/main.cf"), firstMainCf);
    EXPECT_EQ(readFile(configDir + "/aliases"), "postmaster: root\nroot: alice\ndevnull: /dev/null\n");
    EXPECT_EQ(readBack(), expected);
}

// Postfix waits for a main.cf younger than two seconds to settle: a run that
// changes nothing must leave the files, and so their age, alone.
TEST_F(PostfixConfigSystem, UnchangedFilesKeepTheirAge)
{
    const QStringList files = {configDir + "/main.cf", configDir + "/master.cf"};
    const auto age = [](const QString& path) { return QFileInfo(path).lastModified().toSecsSinceEpoch(); };
    const auto backdate = [&files] {
        for (const QString& path : files)
            sh("touch -d '2020-01-01 00:00:00 UTC' " + path);
    };
    const qint64 old = QDateTime::fromString("2020-01-01T00:00:00Z", Qt::ISODate).toSecsSinceEpoch();
    configure(fullForm());
    backdate();
    configure(fullForm());
    for (const QString& path : files)
        EXPECT_EQ(age(path), old) << path.toStdString();

    PostfixForm changed = fullForm();
    changed.mydomain = QStringLiteral("changed.example");
    configure(changed);
    EXPECT_TRUE(readFile(files[0]).contains("\nmydomain=changed.example\n"));
    EXPECT_GT(age(files[0]), old);
    EXPECT_EQ(age(files[1]), old);

    changed.portNos = QStringLiteral("2626");
    configure(changed);
    EXPECT_TRUE(readFile(files[1]).contains("\n2626      inet  n"));
    EXPECT_GT(age(files[1]), old);
}

TEST_F(PostfixConfigSystem, BareFormWritesOnlyTheFixedLinesAndRemovesWhatIsNotInUse)
{
    configure(fullForm());
    PostfixForm form;
    form.myorigin = QStringLiteral("origin.example");
    form.virtualDomains = QStringLiteral("kept.nowhere");  // no virtual text: dropped
    form.enableSASLClient = true;                          // incomplete account: falls
    EXPECT_EQ(configure(form), "");

    EXPECT_EQ(blockOf(readFile(configDir + "/main.cf")),
              "###Start Brevane###\nbiff=no\n"
              "alias_maps=hash:/usr/local/tarnwick/postfix/etc/aliases\n"
              "alias_database=hash:/usr/local/tarnwick/postfix/etc/aliases\n"
              "smtpd_sender_restrictions=check_sender_access hash:/usr/local/tarnwick/postfix/etc/access\n"
              "inet_interfaces=all\nmessage_size_limit=0\nmailbox_size_limit=0\n"
              "myorigin=origin.example\nmyhostname=postfix.origin.example\n###End Brevane###\n");
    EXPECT_EQ(readFile(configDir + "/master.cf"), readFile(configDir + "/master.cf.default"));
    EXPECT_EQ(readFile(configDir + "/access"), "\n");
    EXPECT_EQ(readFile(configDir + "/aliases"), "\n");
    for (const char* gone : {"/virtual", "/virtual.db", "/sasl_passwd", "/sasl_passwd.db", "/sasldb_passwd"})
        EXPECT_FALSE(exists(configDir + gone)) << gone;
    EXPECT_FALSE(exists("/etc/sasldb2.db"));
    EXPECT_TRUE(exists(configDir + "/access.db") && exists(configDir + "/aliases.db"));
    EXPECT_EQ(sh("postfix -c " + configDir + " check"), "");

    const PostfixSettings s = readBack();
    PostfixSettings expected;
    expected.myorigin = "origin.example";
    expected.messagesize = expected.mailboxsize = "0";
    EXPECT_EQ(s, expected);
}

TEST_F(PostfixConfigSystem, SystemAccountsModeWritesTheFixedLinesAndReadsBackAsRowOne)
{
    PostfixForm form;
    form.mydomain = QStringLiteral("example.com");
    form.saslAuthMethodRow = 1;
    EXPECT_EQ(configure(form),
              "Enabling SMTP Authentication for the Postfix server using the built-in OS X user accounts");
    const QString block = blockOf(readFile(configDir + "/main.cf"));
    EXPECT_TRUE(block.contains("\n\nsmtpd_sasl_auth_enable=yes\nsmtpd_use_pw_server=yes\nenable_server_options=yes\n"
                               "smtpd_pw_server_security_options=plain, login\n"
                               "smtpd_sasl_security_options=noanonymous\nbroken_sasl_auth_clients=yes\n"));
    EXPECT_EQ(readBack().saslAuthMethodRow, 1);
    // Debian's Postfix knows nothing of the three Mac-only parameters and
    // says so; nothing else is wrong.
    const QStringList warnings = sh("postfix -c " + configDir + " check").split('\n', Qt::SkipEmptyParts);
    for (const QString& warning : warnings)
        EXPECT_TRUE(warning.contains(QRegularExpression(
            "unused parameter: (smtpd_use_pw_server|enable_server_options|smtpd_pw_server_security_options)=")))
            << warning.toStdString();
}

TEST_F(PostfixConfigSystem, NoClientAuthenticationRowLeavesTheSaslFilesAlone)
{
    PostfixForm form = fullForm();
    configure(form);
    form.saslAuthMethodRow = -1;
    configure(form);
    EXPECT_FALSE(blockOf(readFile(configDir + "/main.cf")).contains("smtpd_sasl"));
    EXPECT_TRUE(exists(configDir + "/sasldb_passwd"));
    EXPECT_TRUE(exists("/etc/sasldb2.db"));
    EXPECT_EQ(readBack().saslAuthMethodRow, 0);

    form.saslAuthMethodRow = 2;
    form.sasldbPasswd = QStringLiteral("  ");  // an empty list is no list
    configure(form);
    EXPECT_FALSE(exists(configDir + "/sasldb_passwd"));
    EXPECT_FALSE(exists("/etc/sasldb2.db"));
}

TEST_F(PostfixConfigSystem, MissingCertificateLeavesOutTheTlsLinesButNotAuthOnly)
{
    ASSERT_TRUE(QFile::rename(certDir + "/imapd.pem", certDir + "/imapd.pem.away"));
    PostfixForm form;
    form.enableSSL = form.requireSSL = true;
    EXPECT_EQ(configure(form), "");
    QFile::rename(certDir + "/imapd.pem.away", certDir + "/imapd.pem");
    const QString block = blockOf(readFile(configDir + "/main.cf"));
    EXPECT_FALSE(block.contains("smtpd_use_tls"));
    EXPECT_TRUE(block.contains("\nsmtpd_tls_auth_only=yes\n"));
}

TEST_F(PostfixConfigSystem, SaslListWithoutADomainCreatesNoAccount)
{
    configure(fullForm());
    ASSERT_TRUE(sh("sasldblistusers2 -f /etc/sasldb2.db").contains("alice@example.com: userPassword"));
    PostfixForm form;
    form.saslAuthMethodRow = 2;
    form.sasldbPasswd = QStringLiteral("  carol  :  pass word\n\n");
    configure(form);
    // Blanks collapse on the way; blank lines are no accounts.
    EXPECT_EQ(readFile(configDir + "/sasldb_passwd"), "carol : pass word\n\n\n");
    // No realm to give: neither carol under this machine's name nor the old accounts.
    const QString users = sh("sasldblistusers2 -f /etc/sasldb2.db");
    EXPECT_FALSE(users.contains("userPassword")) << users.toStdString();
    EXPECT_FALSE(exists("/etc/sasldb2.db"));
}

// Wildcards in values must not pick up names of files in the working folder.
TEST_F(PostfixConfigSystem, WildcardsReachTheFilesAsTyped)
{
    QFile(workingFolder() + "/decoy").open(QIODevice::WriteOnly);
    PostfixForm form;
    form.custom = QStringLiteral("# a * b ? [s]*");
    form.access = QStringLiteral("* REJECT");
    form.aliases = QStringLiteral("root: /var/mail/*");
    form.virtualText = QStringLiteral("*@v.example joe");
    form.virtualDomains = QStringLiteral("v.example");
    configure(form);
    EXPECT_TRUE(readFile(configDir + "/main.cf").endsWith("###Start Custom Config###\n# a * b ? [s]*\n###End Custom Config###\n"));
    EXPECT_EQ(readFile(configDir + "/access"), "* REJECT\n");
    EXPECT_EQ(readFile(configDir + "/aliases"), "root: /var/mail/*\n");
    EXPECT_EQ(readFile(configDir + "/virtual"), "v.example anything\n*@v.example joe\n");
}

// The password list is data: nothing in it may run as a command.
TEST_F(PostfixConfigSystem, SaslListCannotRunCommands)
{
    for (const char* f : {"/tmp/pwned1", "/tmp/pwned2", "/tmp/pwned3"})
        QFile::remove(f);
    PostfixForm form;
    form.mydomain = QStringLiteral("example.com");
    form.saslAuthMethodRow = 2;
    form.sasldbPasswd = QStringLiteral("x:y;touch /tmp/pwned1\n$(touch /tmp/pwned2):pw\n`touch /tmp/pwned3`:pw\nann:p|w&");
    configure(form);
    for (const char* f : {"/tmp/pwned1", "/tmp/pwned2", "/tmp/pwned3"})
        EXPECT_FALSE(exists(f)) << f;
    const QString users = sh("sasldblistusers2 -f /etc/sasldb2.db");
    EXPECT_TRUE(users.contains("x@example.com: userPassword")) << users.toStdString();
    EXPECT_TRUE(users.contains("ann@example.com: userPassword")) << users.toStdString();
}

// Backslash sequences stay text instead of becoming control characters.
TEST_F(PostfixConfigSystem, BackslashesReachTheFilesAsTyped)
{
    PostfixForm form;
    form.custom = QStringLiteral("# C:\\temp\\new \\c cut");
    form.access = QStringLiteral("-n OK");
    configure(form);
    EXPECT_TRUE(readFile(configDir + "/main.cf").contains("\n# C:\\temp\\new \\c cut\n###End Custom Config###\n"));
    EXPECT_EQ(readFile(configDir + "/access"), "-n OK\n");
}

// The password lists are never readable by others, not even in the moment
// between writing them and setting their modes: a chmod stand-in first on
// PATH records each file's mode as it finds it.
TEST_F(PostfixConfigSystem, PasswordListsAreBornPrivate)
{
    for (const char* name : {"/sasl_passwd", "/sasl_passwd.db", "/sasldb_passwd"})
        QFile::remove(configDir + name);
    const QString stubs = m_resources.path() + "/stubs";
    const QString log = m_resources.path() + "/modes-before-chmod";
    QDir().mkpath(stubs);
    QFile stub(stubs + "/chmod");
    ASSERT_TRUE(stub.open(QIODevice::WriteOnly));
    stub.write("#!/bin/sh\nfor last; do :; done\nstat -c '%n %a' \"$last\" >> " + log.toUtf8() + "\nexec /bin/chmod \"$@\"\n");
    stub.close();
    stub.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(stubs) + ':' + path);
    const mode_t mask = ::umask(022);
    configure(fullForm());
    ::umask(mask);
    qputenv("PATH", path);

    const QString modes = readFile(log);
    EXPECT_TRUE(modes.contains(configDir + "/sasldb_passwd 600\n")) << modes.toStdString();
    EXPECT_TRUE(modes.contains(configDir + "/sasl_passwd 600\n")) << modes.toStdString();
    EXPECT_EQ(modeOf(configDir + "/sasl_passwd"), 0640);
    EXPECT_EQ(modeOf(configDir + "/sasl_passwd.db"), 0640);
    EXPECT_EQ(modeOf(configDir + "/sasldb_passwd"), 0600);
}

// A non-admin user on the machine, who may write settings documents the
// administrator opens, and who owns the folders of their home.
class AttackerOnTheMachine : public PostfixConfigSystem {
protected:
    void SetUp() override
    {
        PostfixConfigSystem::SetUp();
        if (IsSkipped())
            return;
        sh("id attacker >/dev/null 2>&1 || useradd -m attacker;"
           "install -d -o attacker -g attacker /home/attacker/x;"
           "printf '#!/bin/sh\\ntouch /root/pwned\\n' > /home/attacker/x/postfix-script;"
           "chown attacker /home/attacker/x/postfix-script; chmod 755 /home/attacker/x/postfix-script;"
           "rm -f /root/pwned");
    }
    static QString asAttacker(const QString& line)
    {
        return sh("setpriv --reuid=attacker --regid=attacker --clear-groups sh -c '" + line + "' 2>&1 && echo DONE");
    }
};

// The attacker's document points Postfix at programs of theirs; the
// administrator applies it and starts Postfix as the job does.
TEST_F(AttackerOnTheMachine, CustomLinesNamingAnotherUsersFilesAreRefusedAndNothingIsWritten)
{
    PostfixForm form;
    form.mydomain = QStringLiteral("example.com");
    configure(form);
    const QString before = readFile(configDir + "/main.cf");
    const struct {
        const char* custom;
        const char* named;
    } attacks[] = {
        {"daemon_directory = /home/attacker/x", "daemon_directory = /home/attacker/x"},
        {"a = /home\nb = /attacker/x\ncommand_directory = $a$b", "command_directory = $a$b"},
        {"# fine\nmeta_directory = /etc/postfix\nshlib_directory = /home/attacker/x/../x",
         "shlib_directory = /home/attacker/x/../x"},
        {"mailbox_command = /home/attacker/x/postfix-script", "mailbox_command = /home/attacker/x/postfix-script"},
        {"mailbox_command = sh -c \"exec ${HOME%/*}/attacker/x/postfix-script\"",
         "mailbox_command = sh -c \"exec ${HOME%/*}/attacker/x/postfix-script\""},
        {"import_environment = MAIL_CONFIG LD_PRELOAD=/usr/lib/x.so", "import_environment = MAIL_CONFIG LD_PRELOAD=/usr/lib/x.so"},
        {"alias_maps = hash:/home/attacker/x/aliases", "alias_maps = hash:/home/attacker/x/aliases"},
        {"queue_directory = /tmp", "queue_directory = /tmp"},
        {"daemon_directory = home/attacker/x", "daemon_directory = home/attacker/x"},
        {"# a note\n /home/attacker/x\nbiff = no", " /home/attacker/x"},
        {"mail_owner = attacker", "mail_owner = attacker"},
    };
    for (const auto& attack : attacks) {
        form.custom = QString::fromUtf8(attack.custom);
        const QString output = configure(form);
        EXPECT_EQ(refusedCustomLine(output), attack.named) << output.toStdString();
        EXPECT_EQ(readFile(configDir + "/main.cf"), before) << attack.custom;
    }
    // The form's own settings hold in main.cf: a reference to them means their value there.
    form.mydomain = QStringLiteral("attacker");
    form.custom = QStringLiteral("daemon_directory = /home/$mydomain/x");
    EXPECT_EQ(refusedCustomLine(configure(form)), "daemon_directory = /home/$mydomain/x");
    EXPECT_EQ(readFile(configDir + "/main.cf"), before);
    form.custom = QStringLiteral("daemon_directory = /home/attacker/x");
    configure(form);
    sh("postfix -c " + configDir + " start; postfix -c " + configDir + " stop");
    EXPECT_FALSE(exists("/root/pwned"));
}

// A pattern names nothing while the lines are checked; the attacker makes a
// folder it matches before main.cf is written (a cp stand-in first on PATH
// lets them in as the script starts the new main.cf, right after the check).
TEST_F(AttackerOnTheMachine, APathMadeAfterTheCheckNeverReachesMainCf)
{
    const QString stubs = m_resources.path() + "/stubs";
    QDir().mkpath(stubs);
    QFile stub(stubs + "/cp");
    ASSERT_TRUE(stub.open(QIODevice::WriteOnly));
    stub.write("#!/bin/sh\ncase $* in *main.cf.temp) setpriv --reuid=attacker --regid=attacker --clear-groups "
               "mkdir -p /home/attacker/late ;; esac\nexec /bin/cp \"$@\"\n");
    stub.close();
    stub.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    sh("rm -rf /home/attacker/late");

    PostfixForm form;
    form.custom = QStringLiteral("daemon_directory = /home/*/late\nshlib_directory = /usr/lib/postfix\n /home/?ttacker/late");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(stubs) + ':' + path);
    const QString output = configure(form);
    qputenv("PATH", path);

    ASSERT_TRUE(exists("/home/attacker/late")) << "the attacker's folder came too late for this run";
    EXPECT_EQ(refusedCustomLine(output), "");
    const QString mainCf = readFile(configDir + "/main.cf");
    EXPECT_TRUE(mainCf.endsWith("###Start Custom Config###\ndaemon_directory = /home/*/late\n"
                                "shlib_directory = /usr/lib/postfix\n /home/?ttacker/late\n###End Custom Config###\n"))
        << mainCf.toStdString();
    EXPECT_FALSE(mainCf.contains("/home/attacker"));
}

TEST_F(AttackerOnTheMachine, CustomLinesNamingRootsOwnFilesStillWork)
{
    PostfixForm form;
    form.custom = QStringLiteral("daemon_directory = /usr/lib/postfix/sbin\ndata_directory = /var/lib/postfix\n"
                                 "mail_spool_directory = /var/mail\nmailbox_command = procmail -a \"$EXTENSION\"\n"
                                 "import_environment = MAIL_CONFIG TZ LANG=C\n"
                                 "smtpd_banner = $myhostname ESMTP $mail_name (Debian/GNU)\n"
                                 "transport_maps = hash:/etc/postfix/transport");
    EXPECT_EQ(refusedCustomLine(configure(form)), "");
    EXPECT_TRUE(readFile(configDir + "/main.cf").contains("\ntransport_maps = hash:/etc/postfix/transport\n"));
    const QString check = sh("postfix -c " + configDir + " check");
    EXPECT_FALSE(check.contains("fatal") || check.contains("error")) << check.toStdString();
}

// Relay passwords: an old list readable by all is replaced by a private one.
TEST_F(AttackerOnTheMachine, RelayHostListIsPrivateFromTheFirstByte)
{
    const QString path = QString::fromLatin1(smartHostsPath);
    QDir().mkpath(QFileInfo(path).path());
    sh("echo old > " + path + "; chmod 644 " + path);
    const mode_t mask = ::umask(022);
    sh(writeSmartHostsArguments({{{"smartHostName", "relay.example"}, {"pword", "secret"}}}).at(2));
    ::umask(mask);
    EXPECT_EQ(modeOf(path), 0600);
    EXPECT_FALSE(asAttacker("cat " + path).endsWith("DONE\n"));
    EXPECT_FALSE(exists(path + ".new"));
    QFile::remove(path);
    sh(writeSmartHostsArguments({}).at(2));
    EXPECT_EQ(modeOf(path), 0600);
}

// Debian's spool (2775 root:mail) stays: no user can pre-create another's
// mailbox, and local delivery still arrives.
TEST_F(AttackerOnTheMachine, MailSpoolKeepsDebiansModeAndLocalMailArrives)
{
    sh("chown root:mail /var/mail; chmod 2775 /var/mail; id mailadmin >/dev/null 2>&1 || useradd -m mailadmin;"
       "rm -f /var/mail/mailadmin");
    PostfixForm form;
    form.mydomain = QStringLiteral("example.com");
    configure(form);
    EXPECT_EQ(modeOf("/var/mail"), 02775);
    EXPECT_FALSE(asAttacker("touch /var/mail/mailadmin").endsWith("DONE\n"));

    sh("touch /var/log/mail.log; postfix -c " + configDir + " start");
    sh("printf 'Subject: spool\\n\\nstill arrives\\n' | /usr/sbin/sendmail mailadmin");
    for (int i = 0; i < 100 && !readFile("/var/mail/mailadmin").contains("still arrives"); ++i)
        ::usleep(200'000);
    sh("postfix -c " + configDir + " stop");
    EXPECT_TRUE(readFile("/var/mail/mailadmin").contains("still arrives")) << sh("tail -20 /var/log/mail.log").toStdString();
    EXPECT_EQ(QFileInfo("/var/mail/mailadmin").owner(), "mailadmin");
}
