#include "maintenance/Deinstallation.h"
#include "maintenance/LogCommands.h"

#include <gtest/gtest.h>

using namespace brevane;

namespace {

// The command lines as the log view runs them. The mail log's heading names
// the IMAP and POP server that really serves, as `dovecot --version` says.
const QString mailLog = QStringLiteral(
    "echo This is the contents of the Mail Log at /var/log/mail.log, latest entries listed first. ; echo ; "
    "echo The current Postfix version is `/usr/sbin/postconf -h mail_version` ; echo ; "
    "echo The current Dovecot version is `/usr/sbin/dovecot --version 2>/dev/null || echo not installed` ; echo ; "
    "/usr/bin/tail -r /var/log/mail.log");
const QString parameters = QStringLiteral(
    "echo These are the active Postfix Configuration Parameters ; echo ;  "
    "/usr/sbin/postconf -n -c /usr/local/tarnwick/postfix/etc ;  echo ; "
    "echo The current Postfix version is : `/usr/sbin/postconf -h mail_version`");
const QString fetchmailLog = QStringLiteral(
    "echo This is the contents of the Fetchmail Log at /var/log/fetchmail.log, latest entries listed first. ; "
    "echo ; fetchmail --version | sed 1q ; echo ; /usr/bin/tail -r /var/log/fetchmail.log");

} // namespace

TEST(LogCommands, CompiledInFilesHoldTheCommandLinesExactly)
{
    // An editor's final line feed or a collapsed double space shows here.
    EXPECT_EQ(mailLogCommand(), mailLog);
    EXPECT_EQ(postfixParametersCommand(), parameters);
    EXPECT_EQ(fetchmailLogCommand(), fetchmailLog);
}

TEST(LogCommands, TagAndTitlePickTheCommand)
{
    EXPECT_EQ(logCommandFor(0, "Postfix Log"), mailLog);
    EXPECT_EQ(logCommandFor(0, "Postfix Config"), parameters);
    EXPECT_EQ(logCommandFor(0, "postfix log"), parameters);
    EXPECT_EQ(logCommandFor(1, "Fetchmail Log"), fetchmailLog);
    EXPECT_EQ(logCommandFor(1, "Postfix Log"), fetchmailLog);
    EXPECT_EQ(logCommandFor(2, "Postfix Log"), std::nullopt);
    EXPECT_EQ(logCommandFor(-1, ""), std::nullopt);
}

TEST(Deinstallation, ScriptGoesToTheShellWithoutArgumentsOrFinalLineFeed)
{
    const QStringList command = deinstallCommand();
    ASSERT_EQ(command.size(), 3);
    EXPECT_EQ(command.at(0), "/bin/sh");
    EXPECT_EQ(command.at(1), "-c");
    const QString& script = command.at(2);
    EXPECT_TRUE(script.startsWith("for i in postfix fetchmail uw_imap uw_imaps uw_pop3 uw_pop3s\n"));
    EXPECT_TRUE(script.contains("\ndo \n"));
    EXPECT_TRUE(script.endsWith("\nrm -r /usr/local/tarnwick/postfix"));
}

TEST(Deinstallation, WarningSheetTexts)
{
    const DeinstallWarning warning = deinstallWarning();
    EXPECT_EQ(warning.title, "Are you sure you want to de-install Brevane?");
    EXPECT_EQ(warning.defaultButton, "Cancel");
    EXPECT_EQ(warning.alternateButton, "De-Install");
    EXPECT_TRUE(warning.message.startsWith("This will halt the mail server, if it is running, and remove all"));
    EXPECT_TRUE(warning.message.endsWith("(from the File menu) if you intend to use Brevane again."));
}
