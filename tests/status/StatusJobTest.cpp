#include "status/AlertMail.h"
#include "status/MailServices.h"
#include "status/StatusState.h"
#include "status/WatchJob.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace brevane::status;

namespace {

Outcome outcome(const char* id, State state, const QString& found = QStringLiteral("found"))
{
    return { QLatin1String(id), QStringLiteral("Title of ") + QLatin1String(id), { state, found, "expected", "do" } };
}

} // namespace

TEST(StatusState, WhatIsWrittenReadsBackAndHostileFilesAreRefused)
{
    JobState state { 1'800'000'000, { { outcome("queue", State::Red, "é\n\"x\""), { State::Red, 1'799'999'000 } } } };
    const StateRead back = readJobState(writeJobState(state));
    ASSERT_TRUE(back.state) << back.error.toStdString();
    EXPECT_EQ(back.state->checkedAt, state.checkedAt);
    EXPECT_EQ(back.state->checks.at(0).outcome.result.found, "é\n\"x\"");
    EXPECT_EQ(back.state->checks.at(0).mailed.told, State::Red);
    EXPECT_EQ(back.state->checks.at(0).mailed.toldAt, 1'799'999'000);

    const QByteArray check = R"({"id":"queue","title":"t","state":"red","found":"","expected":"","whatToDo":"",)"
                             R"("mailed":"green","mailedAt":0})";
    const auto file = [](const QByteArray& checks) { return "{\"checkedAt\":1,\"checks\":[" + checks + "]}"; };
    const auto with = [&check](const char* from, const QByteArray& to) { return QByteArray(check).replace(from, to); };
    for (const QByteArray& bytes : { QByteArray(), QByteArray("[]"), file(check).chopped(2), // cut short
             QByteArray("{\"checkedAt\":\"1\",\"checks\":[]}"), QByteArray("{\"checkedAt\":-1,\"checks\":[]}"),
             QByteArray("{\"checkedAt\":1,\"checks\":{}}"), file("7"), file(with("\"red\"", "\"purple\"")),
             file(with("queue", "../x")), file(with("\"t\"", "9")),
             file(with("\"t\"", '"' + QByteArray(9000, 'x') + '"')), file((check + ',').repeated(65) + check),
             QByteArray(2 << 20, ' ') }) {
        const StateRead read = readJobState(bytes);
        EXPECT_FALSE(read.state) << bytes.left(120).toStdString();
        EXPECT_TRUE(read.error.startsWith("The watch job's state file is damaged")) << read.error.toStdString();
    }
}

// Memory follows a check by its id across runs; an unsent mail is retried.
TEST(StatusState, RoundsRememberEachCheckAndRetryUnsentMail)
{
    constexpr qint64 t0 = 1'800'000'000;
    JobRound first = jobRound(std::nullopt, { outcome("a", State::Green), outcome("b", State::Red) }, t0);
    ASSERT_EQ(first.alerts.size(), 1);
    EXPECT_EQ(first.alerts.at(0).outcome.id, "b");
    EXPECT_FALSE(first.alerts.at(0).repair);

    // The other order, and a check new to the memory.
    JobRound second = jobRound(
        first.next, { outcome("c", State::Red), outcome("b", State::Red), outcome("a", State::Green) }, t0 + 60);
    ASSERT_EQ(second.alerts.size(), 1);
    EXPECT_EQ(second.alerts.at(0).outcome.id, "c");
    keepUnsent(second.next, second.alerts.at(0));
    EXPECT_EQ(second.next.checks.at(0).mailed.toldAt, 0);

    JobRound third = jobRound(second.next, { outcome("c", State::Red), outcome("b", State::Green) }, t0 + 3600);
    ASSERT_EQ(third.alerts.size(), 2);
    EXPECT_EQ(third.alerts.at(0).outcome.id, "c");
    EXPECT_TRUE(third.alerts.at(1).repair);
}

TEST(AlertMail, TextsFromChecksCannotAddHeaders)
{
    Alert alert { outcome("queue", State::Red, "line\r\nBcc: victim@example.com\n.\nend"), {}, false };
    alert.outcome.title = "Queue\r\nBcc: victim@example.com";
    const QByteArray mail = alertMail(alert, "mail\nX-Evil: 1", QDateTime::fromSecsSinceEpoch(1'800'000'000));
    const QByteArray headers = mail.left(mail.indexOf("\n\n"));
    EXPECT_FALSE(headers.contains("\r"));
    EXPECT_FALSE(headers.contains("\nBcc:"));
    EXPECT_FALSE(headers.contains("\nX-Evil"));
    EXPECT_TRUE(headers.contains("\nSubject: Queue Bcc: victim@example.com on mail X-Evil: 1: failing\n"));
    EXPECT_TRUE(headers.contains("\nDate: Fri, 15 Jan 2027 08:00:00 +0000\n"));
    EXPECT_TRUE(mail.contains("\nFound: line\nBcc: victim@example.com\n.\nend\n"));
    EXPECT_TRUE(sendmailArguments().contains("-i")); // a lone dot is text, not the end

    alert.outcome.title = QStringLiteral("Münze");
    alert.repair = true;
    const QByteArray repaired = alertMail(alert, "mail", QDateTime::fromSecsSinceEpoch(0));
    EXPECT_TRUE(repaired.contains(
        "\nSubject: =?UTF-8?B?" + QStringLiteral("Münze on mail is OK again").toUtf8().toBase64() + "?=\n"));
    EXPECT_FALSE(repaired.contains("What to do"));

    // A long one: several encoded words, each alone on a folded line, none past 75
    // characters, each whole UTF-8.
    alert.outcome.title = QString(30, QChar(0x00fc)) + QString::fromUtf8("\xf0\x9f\x93\xac") + QString(30, u'x');
    const QByteArray longMail = alertMail(alert, "mail", QDateTime::fromSecsSinceEpoch(0));
    QByteArray decoded;
    static const QRegularExpression word(QStringLiteral("(?:Subject:|\n) (=\\?UTF-8\\?B\\?([^?]*)\\?=)(?=\n)"));
    for (const QRegularExpressionMatch& match : word.globalMatch(longMail.left(longMail.indexOf("\n\n") + 1))) {
        EXPECT_LE(match.capturedLength(1), 75);
        const QByteArray text = QByteArray::fromBase64(match.captured(2).toLatin1());
        EXPECT_TRUE(QString::fromUtf8(text).toUtf8() == text) << "a character cut in two";
        decoded += text;
    }
    EXPECT_EQ(QString::fromUtf8(decoded), alert.outcome.title + " on mail is OK again");
}

TEST(MailServices, ListedMailJobsAreUpWhenTheirPortAnswers)
{
    const ServiceProbes probes { "YES\n", "",
        "PID\tStatus\tLabel\n12\t0\tcom.dadarozudedarid.uw_imap\n"
        "-\t0\tcom.dadarozudedarid.uw_pop3s\n-\t0\tcom.dadarozudedarid.uw_imaps.old\n" };
    const QList<ServiceFacts> facts = mailServiceFacts(probes, [](int port) { return port == 25 || port == 143; });
    ASSERT_EQ(facts.size(), 4);
    EXPECT_TRUE(facts.at(0).health.up);
    EXPECT_EQ(facts.at(2).name, "POP3s");
    EXPECT_FALSE(facts.at(2).health.up);
    EXPECT_EQ(facts.at(2).health.why, "nothing answers on port 995");
    EXPECT_EQ(facts.at(3).name, "IMAP");
    EXPECT_TRUE(facts.at(3).health.up);
    EXPECT_EQ(servicesRule(facts).state, State::Red);
}

TEST(WatchJob, SummaryNamesTheRunsTimeAndTheScriptsAnswerIsRead)
{
    const JobState state { 1'800'000'000, { { outcome("a", State::Red), {} }, { outcome("b", State::Green), {} } } };
    EXPECT_EQ(watchSummary(state, QTimeZone::utc()),
        "Checked by the watch job at 2027-01-15 08:00: 1 failing, 0 warning, of 2 checks.");
    EXPECT_TRUE(watchJobChanged("x\nSTATUS JOB ON", true));
    EXPECT_FALSE(watchJobChanged("REFUSED : no brevane-status program beside the helper", true));
    EXPECT_EQ(watchJobArguments(false).mid(4), QStringList({ "BrevaneStuff", "off" }));
}
