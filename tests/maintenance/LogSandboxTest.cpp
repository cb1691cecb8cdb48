#include "SandboxSupport.h"
#include "maintenance/LogCommands.h"
#include "maintenance/ShellCommand.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

using namespace brevane;

namespace {

// The platform layer provides BSD `tail -r` at /usr/bin/tail. Where it is
// not installed yet, a stand-in that keeps GNU tail for everything else.
void provideReversingTail()
{
    if (sandbox::shell("printf 'a\\nb\\n' | /usr/bin/tail -r 2>/dev/null") == "b\na\n")
        return;
    QFile::rename("/usr/bin/tail", "/usr/bin/tail.gnu");
    sandbox::writeFile("/usr/bin/tail",
                       "#!/bin/sh\n"
                       "if [ \"$1\" = -r ]; then shift; exec tac \"$@\"; fi\n"
                       "exec /usr/bin/tail.gnu \"$@\"\n",
                       0755);
}

QString postfixVersion()
{
    return doShellCommand("/usr/sbin/postconf -h mail_version").trimmed();
}

} // namespace

class LogSandbox : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (sandbox::active())
            provideReversingTail();
    }
    void SetUp() override { SKIP_OUTSIDE_SANDBOX(); }
};

TEST_F(LogSandbox, MailLogNewestFirstUnderTheVersions)
{
    sandbox::writeFile("/var/log/mail.log", "Dec  8 00:41:10 probe postfix/master[7]: daemon started\n"
                                            "Dec  8 00:41:11 probe postfix/qmgr[9]: 4C1F2A: removed\n"
                                            "Dec  8 00:41:12 probe postfix/master[7]: reload\n");
    const QString version = postfixVersion();
    ASSERT_TRUE(QRegularExpression("^\\d+\\.\\d+\\.\\d+$").match(version).hasMatch()) << version.toStdString();
    // The IMAP and POP server that serves is Dovecot, not the UW daemons.
    const QString dovecot = doShellCommand("/usr/sbin/dovecot --version").trimmed();
    ASSERT_TRUE(dovecot.startsWith("2.")) << dovecot.toStdString();

    EXPECT_EQ(doShellCommand(*logCommandFor(0, "Postfix Log")),
              "This is the contents of the Mail Log at /var/log/mail.log, latest entries listed first.\n"
              "\n"
              "The current Postfix version is "
                  + version
                  + "\n"
                    "\n"
                    "The current Dovecot version is "
                  + dovecot
                  + "\n"
                    "\n"
                    "Dec  8 00:41:12 probe postfix/master[7]: reload\n"
                    "Dec  8 00:41:11 probe postfix/qmgr[9]: 4C1F2A: removed\n"
                    "Dec  8 00:41:10 probe postfix/master[7]: daemon started\n");
}

TEST_F(LogSandbox, ParametersOfOurConfigurationDirectory)
{
    const QString etc = "/usr/local/tarnwick/postfix/etc";
    sandbox::writeFile(etc + "/main.cf", "myhostname = probe.local\nmydomain = probe.local\nrelayhost = [smart.example]\n");
    QFile::copy("/etc/postfix/master.cf", etc + "/master.cf");
    const QString parameters = sandbox::run({"/usr/sbin/postconf", "-n", "-c", etc});
    ASSERT_TRUE(parameters.contains("relayhost = [smart.example]\n"));

    EXPECT_EQ(doShellCommand(*logCommandFor(0, "Postfix Config")),
              "These are the active Postfix Configuration Parameters\n\n" + parameters
                  + "\nThe current Postfix version is : " + postfixVersion() + "\n");
}

TEST_F(LogSandbox, FetchmailLogNewestFirstUnderItsVersion)
{
    sandbox::writeFile("/var/log/fetchmail.log", "fetchmail: starting fetchmail 6.4.37 daemon\n"
                                                 "fetchmail: 2 messages for joe at pop.example\n");
    const QString text = doShellCommand(*logCommandFor(1, "Fetchmail Log"));
    const QString heading
        = "This is the contents of the Fetchmail Log at /var/log/fetchmail.log, latest entries listed first.\n\n";
    ASSERT_TRUE(text.startsWith(heading)) << text.toStdString();
    const QStringList rest = text.mid(heading.size()).split('\n');
    ASSERT_EQ(rest.size(), 5);
    EXPECT_TRUE(rest.at(0).startsWith("This is fetchmail release ")) << rest.at(0).toStdString();
    EXPECT_EQ(rest.at(1), "");
    EXPECT_EQ(rest.at(2), "fetchmail: 2 messages for joe at pop.example");
    EXPECT_EQ(rest.at(3), "fetchmail: starting fetchmail 6.4.37 daemon");
    EXPECT_EQ(rest.at(4), ""); // the final line break is kept
}

TEST_F(LogSandbox, MissingLogLeavesOnlyTheHeadings)
{
    QFile::remove("/var/log/fetchmail.log");
    const QString text = doShellCommand(*logCommandFor(1, "Fetchmail Log"));
    EXPECT_TRUE(text.endsWith("\n\n"));
    EXPECT_EQ(text.count('\n'), 4);
}
