#include "postfix/PostfixCheck.h"
#include "postfix/ServiceHealth.h"

#include <gtest/gtest.h>

using namespace brevane;

namespace {

PostfixForm formWith(const QString& custom, const QString& portNos = {})
{
    PostfixForm form;
    form.custom = custom;
    form.portNos = portNos;
    return form;
}

} // namespace

TEST(PostfixCheck, ReadsTheReportAndIgnoresOtherLines)
{
    const auto outcome = parsePostfixCheck(
        "Enabling SSL for SMTP, POP3, and IMAP\n"
        "check-postfix: said postfix: fatal: bad numerical configuration: message_size_limit = 10MB\n"
        "check-postfix: note postconf: warning: /x/main.cf: unused parameter: mydomian=a\n"
        "check-postfix: result refused\n"
        "check-postfix: previous up");
    EXPECT_EQ(outcome.result, CheckResult::Refused);
    ASSERT_TRUE(outcome.previousUp.has_value());
    EXPECT_TRUE(*outcome.previousUp);
    EXPECT_EQ(outcome.said, QStringList{"postfix: fatal: bad numerical configuration: message_size_limit = 10MB"});
    EXPECT_EQ(outcome.notes, QStringList{"postconf: warning: /x/main.cf: unused parameter: mydomian=a"});
}

TEST(PostfixCheck, EveryResultWordAndNoneAtAll)
{
    const std::pair<const char*, CheckResult> cases[] = {
        {"up", CheckResult::Up},           {"refused", CheckResult::Refused},   {"down", CheckResult::Down},
        {"unchanged", CheckResult::Unchanged}, {"unsafe", CheckResult::Unsafe}, {"restored", CheckResult::Restored},
        {"none", CheckResult::None},       {"sideways", CheckResult::Unknown},
    };
    for (const auto& [word, result] : cases)
        EXPECT_EQ(parsePostfixCheck(QStringLiteral("check-postfix: result ") + word).result, result) << word;
    EXPECT_EQ(parsePostfixCheck("").result, CheckResult::Unknown);
    // Only the script's own prefix counts, not a custom line that echoes it.
    EXPECT_EQ(parsePostfixCheck(" check-postfix: result up").result, CheckResult::Unknown);
}

TEST(PostfixCheck, ApplyVectorHandsTheConfigurationScriptItsValues)
{
    const QStringList configure{"/bin/sh", "-c", "CONFIGURE", "", "BrevaneStuff", "admin", "x"};
    EXPECT_EQ(applyPostfixArguments(configure, "CHECK"),
              (QStringList{"/bin/sh", "-c", "CHECK", "", "apply", "CONFIGURE", "BrevaneStuff", "admin", "x"}));
    EXPECT_EQ(restorePostfixArguments("CHECK"), (QStringList{"/bin/sh", "-c", "CHECK", "", "restore"}));
    EXPECT_EQ(lastWorkingSavedArguments("CHECK"), (QStringList{"/bin/sh", "-c", "CHECK", "", "saved"}));
}

TEST(PostfixCheck, NamesTheFieldPostfixsWordsPointAt)
{
    const struct {
        const char* said;
        PostfixForm form;
        const char* field;
    } cases[] = {
        {"postfix: fatal: bad numerical configuration: message_size_limit = 10MB",
         formWith("message_size_limit = 10MB"), "custom lines field"},
        {"postfix: fatal: bad numerical configuration: message_size_limit = 10MB", formWith(""),
         "largest message field"},
        {"postfix: fatal: config variable inet_interfaces: host not found: nowhere.invalid",
         formWith("inet_interfaces = nowhere.invalid"), "custom lines field"},
        {"postmap: warning: /usr/local/tarnwick/postfix/etc/access, line 1: expected format: key whitespace value",
         formWith(""), "access field"},
        {"postalias: warning: /usr/local/tarnwick/postfix/etc/aliases, line 2: need name:value pair", formWith(""),
         "aliases field"},
        {"postfix/master[12]: fatal: bind 0.0.0.0 port 2525: Address already in use", formWith("", "2525, 587"),
         "extra ports field"},
        {"postfix/master[12]: fatal: bind 0.0.0.0 port 25: Address already in use", formWith("", "2525"), ""},
        {"postconf: fatal: /usr/local/tarnwick/postfix/etc/main.cf, line 40: missing '=' after attribute name: \"x\"",
         formWith("x"), "custom lines field"},
        {"postfix: fatal: something else entirely", formWith("a = b"), ""},
        {"postfix/smtpd[9]: warning: unknown smtpd restriction: \"reject_bogus_thing\"",
         formWith("smtpd_recipient_restrictions = reject_bogus_thing"), "custom lines field"},
        {"postfix/smtpd[9]: warning: hash:/nonexistent/table is unavailable. open database /nonexistent/table.db: "
         "No such file or directory",
         formWith("smtpd_helo_restrictions = check_helo_access hash:/nonexistent/table"), "custom lines field"},
        // The probe's own address is quoted too, and no custom line holds it.
        {"postfix/smtpd[9]: warning: hash:/x lookup error for \"postmaster@vm\"", formWith("a = b"), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fieldNamedBy({CheckResult::Refused, {}, {QString::fromUtf8(c.said)}, {}, {}}, c.form),
                  QString::fromUtf8(c.field))
            << c.said;
}

TEST(PostfixCheck, RefusalAlertQuotesPostfixAndSaysWhatRuns)
{
    PostfixCheckOutcome outcome{CheckResult::Refused, true,
                                {"postfix: fatal: bad numerical configuration: message_size_limit = 10MB"}, {}};
    const auto alert = applyAlert(outcome, formWith("message_size_limit = 10MB"));
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title, "Postfix refused the new configuration.");
    EXPECT_EQ(alert->message, "Postfix said:\npostfix: fatal: bad numerical configuration: message_size_limit = 10MB\n\n"
                              "Look at the custom lines field. Brevane put the previous configuration back, and "
                              "Postfix runs on it.");
    EXPECT_FALSE(alert->informational);

    PostfixCheckOutcome busy{CheckResult::Down, true,
                             {"postfix/postfix-script: fatal: mail system startup failed"}, {}, {"2525 python3"}};
    EXPECT_EQ(parsePostfixCheck("check-postfix: busy 2525 python3").busyPorts, QStringList{"2525 python3"});
    EXPECT_EQ(applyAlert(busy, formWith("", "2525"))->message,
              "Postfix said:\npostfix/postfix-script: fatal: mail system startup failed\n\nAnother program (python3) "
              "already listens on port 2525. Look at the extra ports field. Brevane put the previous configuration "
              "back, and Postfix runs on it.");

    outcome.result = CheckResult::Down;
    outcome.previousUp = false;
    outcome.said = QStringList{"a", "b", "c", "d", "e"};
    const auto down = applyAlert(outcome, formWith(""));
    ASSERT_TRUE(down);
    EXPECT_EQ(down->title, "Postfix did not come up on the new configuration.");
    // First lines only.
    EXPECT_EQ(down->message, "Postfix said:\na\nb\nc\nd\n\nBrevane put the previous configuration back, but Postfix "
                             "did not come up on it either.");
}

TEST(PostfixCheck, QuietWhenTheNewFilesRunWithoutAWord)
{
    EXPECT_FALSE(applyAlert({CheckResult::Up, {}, {}, {}}, {}));
    EXPECT_FALSE(applyAlert({CheckResult::Unchanged, {}, {}, {}}, {}));
    const auto noted = applyAlert({CheckResult::Up, {}, {}, {"postconf: warning: x: unused parameter: a=b"}}, {});
    ASSERT_TRUE(noted);
    EXPECT_TRUE(noted->informational);
    EXPECT_EQ(noted->message, "Postfix said:\npostconf: warning: x: unused parameter: a=b");
    // The Mac password server's parameters the tool's own block writes.
    EXPECT_FALSE(applyAlert({CheckResult::Up, {}, {}, {"postconf: warning: x: unused parameter: smtpd_use_pw_server=yes"}}, {}));
    EXPECT_TRUE(applyAlert({CheckResult::Unknown, {}, {}, {}}, {}));
    EXPECT_TRUE(applyAlert({CheckResult::Unsafe, {}, {}, {}}, {}));
}

TEST(PostfixCheck, RestoreAlertNamesTheTimeSaved)
{
    const auto back = restoreAlert({CheckResult::Restored, true, {}, {}}, "2026-12-08 13:50:00 UTC");
    EXPECT_EQ(back.message, "It was saved on 2026-12-08 13:50:00 UTC. Postfix runs on it.");
    EXPECT_TRUE(back.informational);
    const auto failed = restoreAlert({CheckResult::Restored, false, {"fatal: x"}, {}}, "t");
    EXPECT_EQ(failed.message, "It was saved on t. Postfix did not come up on it; Postfix said:\nfatal: x");
    EXPECT_EQ(restoreAlert({CheckResult::None, {}, {}, {}}, {}).title, "There is no working configuration to restore.");
}

TEST(ServiceHealth, PostfixIsUpWithAMasterOrAnAnsweringPort)
{
    using services::postfixHealth;
    const struct {
        const char* output;
        bool port;
        bool loaded, up;
        const char* why;
    } cases[] = {
        {"YES", false, true, true, ""},
        {"YES\nDOWN\nDec 8 postfix/master[1]: fatal: bind 0.0.0.0 port 25: Address already in use", false, true,
         false, "Dec 8 postfix/master[1]: fatal: bind 0.0.0.0 port 25: Address already in use"},
        {"YES\nDOWN\n", true, true, true, ""},
        {"", true, false, false, ""},
    };
    for (const auto& c : cases) {
        const auto health = postfixHealth(QString::fromUtf8(c.output), c.port);
        EXPECT_EQ(health.loaded, c.loaded) << c.output;
        EXPECT_EQ(health.up, c.up) << c.output;
        EXPECT_EQ(health.why, QString::fromUtf8(c.why)) << c.output;
    }
}

TEST(ServiceHealth, FetchmailIsDownWhenItsLastPollFailed)
{
    const struct {
        QStringList log;
        bool failed;
    } cases[] = {
        {{}, false},
        {{"fetchmail: starting fetchmail 6.4.37 daemon"}, false},
        {{"fetchmail: connection to localhost:pop3 [127.0.0.1/110] failed: Connection refused.",
          "fetchmail: Query status=2 (SOCKET)"},
         true},
        {{"fetchmail: Query status=3 (AUTHFAIL)", "fetchmail: starting fetchmail 6.4.37 daemon"}, false},
        {{"fetchmail: Query status=2 (SOCKET)", "fetchmail: 1 message for remote1 at localhost (500 octets)."}, false},
        {{"fetchmail: Query status=2 (SOCKET)", "fetchmail: Query status=1 (NOMAIL)"}, false},
        {{"fetchmail: Query status=0 (SUCCESS)", "fetchmail: Query status=7 (ERROR)"}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(services::lastPollFailed(c.log), c.failed) << c.log.join(" | ").toStdString();

    const auto health = services::fetchmailHealth("YES\nLOG a\nLOG b\nLOG c\nLOG fetchmail: Query status=2 (SOCKET)");
    EXPECT_TRUE(health.loaded);
    EXPECT_FALSE(health.up);
    EXPECT_EQ(health.why, "b\nc\nfetchmail: Query status=2 (SOCKET)");
    EXPECT_TRUE(services::fetchmailHealth("YES").up);
    // Quiet for longer than two polling rounds: the polls since went well.
    const struct {
        const char* tail;
        bool up;
    } ages[] = {{"AGE 100\nINTERVAL 300", false}, {"AGE 700\nINTERVAL 300", true}, {"AGE 7000", false},
                {"INTERVAL 300", false}};
    for (const auto& a : ages)
        EXPECT_EQ(services::fetchmailHealth(QStringLiteral("YES\nLOG fetchmail: Query status=2 (SOCKET)\n")
                                            + a.tail).up,
                  a.up)
            << a.tail;
    EXPECT_FALSE(services::fetchmailHealth("").loaded);
    EXPECT_EQ(services::downToolTip("Postfix", ""), "Postfix is loaded but not running. Last lines logged:\n(nothing logged)");
}

TEST(PostfixCheck, ARefusedCustomLineQuotesPostfixWhenItCouldNotReadIt)
{
    const auto unreadable = refusedCustomLineAlert(
        "inet_interfaces = nowhere.invalid", {"postconf: fatal: config variable inet_interfaces: host not found"});
    EXPECT_EQ(unreadable.message, "Postfix said:\npostconf: fatal: config variable inet_interfaces: host not found\n\n"
                                  "Look at the custom lines field; Brevane wrote nothing.");
    EXPECT_EQ(refusedCustomLineAlert("daemon_directory = /tmp/x", {}).message,
              customLineRefusal("daemon_directory = /tmp/x"));
}

TEST(PostfixCheck, RefusedMailAnUnsavedCopyAndAWaitTooLongAreTold)
{
    const QString busy = "Another apply or restore of the Postfix configuration (from another window or user) still "
                         "ran after a minute; Brevane wrote nothing. Try again once it has finished.";
    const struct {
        const char* report;
        const char* custom;
        const char* title;
        const char* message;
    } cases[] = {
        {"check-postfix: said postfix/smtpd[5]: warning: unknown smtpd restriction: \"reject_bogus_thing\"\n"
         "check-postfix: said RCPT 451 4.3.5 Server configuration error\n"
         "check-postfix: result rejecting\ncheck-postfix: previous up",
         "smtpd_recipient_restrictions = reject_bogus_thing",
         "Postfix came up on the new configuration but refused mail with it.",
         "Postfix said:\npostfix/smtpd[5]: warning: unknown smtpd restriction: \"reject_bogus_thing\"\nRCPT 451 4.3.5 "
         "Server configuration error\n\nLook at the custom lines field. Brevane put the previous configuration back, "
         "and Postfix runs on it."},
        {"check-postfix: unsaved cp: error writing '/var/lib/brevane/last-good.new/main.cf': No space left on device\n"
         "check-postfix: result up",
         "", "Postfix runs on the new configuration.",
         "Applied, but the last working configuration could not be saved: cp: error writing "
         "'/var/lib/brevane/last-good.new/main.cf': No space left on device"},
    };
    for (const auto& c : cases) {
        const auto alert = applyAlert(parsePostfixCheck(c.report), formWith(c.custom));
        ASSERT_TRUE(alert) << c.report;
        EXPECT_EQ(alert->title, c.title) << c.report;
        EXPECT_EQ(alert->message, c.message) << c.report;
        EXPECT_FALSE(alert->informational) << c.report;
    }
    EXPECT_EQ(applyAlert(parsePostfixCheck("check-postfix: result busy"), {})->message, busy);
    const auto notRestored = restoreAlert(parsePostfixCheck("check-postfix: result busy"), "t");
    EXPECT_EQ(notRestored.title, "The last working configuration was not restored.");
    EXPECT_EQ(notRestored.message, QString(busy).replace("Brevane wrote nothing", "nothing was restored"));
}
