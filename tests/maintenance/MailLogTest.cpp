#include "maintenance/LogLines.h"
#include "maintenance/MailLogLine.h"
#include "maintenance/QueueId.h"
#include "maintenance/QueueListing.h"
#include "maintenance/TrafficSummary.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace brevane;
using Kind = MailLogEvent::Kind;

namespace {

// Lines of real Postfix 3.7 traffic, captured in the sandbox by
// capture-maillog.sh: one delivery, one bounce, one deferral, three
// refusals and a failed SASL login.
QByteArray capturedLog(const char* name = "mail.log-captured.txt")
{
    QFile file(QStringLiteral(MAINTENANCE_TEST_DATA "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string capturedLine(std::string_view holding, const char* name = "mail.log-captured.txt")
{
    for (const QByteArray& line : capturedLog(name).split('\n')) {
        if (std::string_view(line.constData(), std::size_t(line.size())).find(holding) != std::string_view::npos)
            return line.toStdString();
    }
    ADD_FAILURE() << "no line of " << name << " holds " << holding;
    return {};
}

// Lines captured by capture-maillog-hostile.sh.
std::string hostileLine(std::string_view holding)
{
    return capturedLine(holding, "mail.log-hostile.txt");
}

// The capture ran on Dec 8 between 11:31:56 and 11:32:00.
const std::int64_t captureEnd = civilSeconds(2026, 12, 8, 11, 32, 0);

} // namespace

TEST(MailLogLine, CapturedTrafficLinesAreRecognised)
{
    struct Case {
        std::string_view holding;
        Kind kind;
        std::string_view queueId, address, reason;
    };
    const Case cases[] = {
        {"DEE7060: message-id=", Kind::Received, "DEE7060", "", ""},
        {"DEE7060: from=<bob@sender.example>", Kind::SenderSeen, "DEE7060", "bob@sender.example", ""},
        {"status=sent (delivered to mailbox)", Kind::Delivered, "DEE7060", "alice@probe.local", ""},
        {"status=bounced", Kind::Bounced, "20ADF68", "nobody-here@probe.local", ""},
        {"status=deferred", Kind::Deferred, "D15D46F", "joe@closed.example", ""},
        {"237F06C: from=<>", Kind::SenderSeen, "237F06C", "", ""},
        {"blocked using rbl.test", Kind::Rejected, "", "alice@probe.local", "blocked using rbl.test"},
        {"Client host rejected", Kind::Rejected, "", "alice@probe.local",
         "Client host rejected: Refused by the local client list"},
        {"Relay access denied", Kind::Rejected, "", "someone@elsewhere.example", "Relay access denied"},
        {"SASL LOGIN authentication failed", Kind::AuthFailed, "", "", ""},
        {"DEE7060: client=localhost", Kind::Other, "DEE7060", "", ""},
        {"DEE7060: removed", Kind::Other, "DEE7060", "", ""},
        {"connect to 127.0.0.1[127.0.0.1]:2627", Kind::Other, "", "", ""},
        {"daemon started", Kind::Other, "", "", ""},
        {"sender non-delivery notification", Kind::Other, "20ADF68", "", ""},
    };
    for (const Case& c : cases) {
        const std::string line = capturedLine(c.holding);
        const MailLogEvent event = parseMailLogLine(line, 2026);
        EXPECT_EQ(event.kind, c.kind) << line;
        EXPECT_EQ(event.queueId, c.queueId) << line;
        EXPECT_EQ(event.address, c.address) << line;
        EXPECT_EQ(event.reason, c.reason) << line;
        EXPECT_GE(event.time, civilSeconds(2026, 12, 8, 11, 31, 56)) << line;
    }
}

TEST(MailLogLine, TimeStampsOfBothFormats)
{
    const std::int64_t expected = civilSeconds(2026, 12, 8, 0, 41, 10);
    EXPECT_EQ(logLineTime("Dec  8 00:41:10 probe postfix/qmgr[9]: x", 2026), expected);
    EXPECT_EQ(logLineTime("Dec 08 00:41:10 probe postfix/qmgr[9]: x", 2026), expected);
    EXPECT_EQ(logLineTime("2026-12-08T00:41:10.518613+01:00 probe postfix/qmgr[9]: x", 0), expected);
    EXPECT_EQ(civilSeconds(1970, 1, 1, 0, 0, 1), 1);
    EXPECT_EQ(civilSeconds(2000, 3, 1, 0, 0, 0), 951868800);
    for (const char* damaged : {"", "Dec", "Dex  8 00:41:10 probe", "Dec  8 25:41:10 probe", "Dec 32 00:41:10 x",
                                "2026-13-08T00:41:10 x", "Dec  8 00:41:1"})
        EXPECT_EQ(logLineTime(damaged, 2026), -1) << damaged;
}

TEST(MailLogLine, DamagedOrForeignLinesCountAsNothing)
{
    for (const char* line : {"", "\n", "Dec  8 00:41:10", "Dec  8 00:41:10 probe", "Dec  8 00:41:10 probe x",
                             "Dec  8 00:41:10 probe dovecot: imap-login: Login: user=<alice>",
                             "Dec  8 00:41:10 probe postfix/smtp[1]: ABCDEF: to=<a@b>, status=",
                             "Dec  8 00:41:10 probe postfix/smtp[1]: ABCDEF: to=<a@b, status=sent",
                             "Dec  8 00:41:10 probe postfix/smtpd[1]: NOQUEUE: reject: ",
                             "Dec  8 00:41:10 probe postfix/smtpd[1]: warning: hostname x does not resolve"}) {
        const MailLogEvent event = parseMailLogLine(line, 2026);
        EXPECT_TRUE(event.kind == Kind::Other || event.kind == Kind::Rejected || event.kind == Kind::Delivered)
            << line;
        EXPECT_TRUE(event.reason.size() <= std::strlen(line)) << line;
    }
    EXPECT_EQ(queueIdOfLine("Dec  8 00:41:10 probe postfix/smtpd[1]: NOQUEUE: reject: x"), "");
    EXPECT_EQ(queueIdOfLine("Dec  8 00:41:10 probe postfix/qmgr[1]: 4Ms1Yb3jGjz1B2w: removed"), "4Ms1Yb3jGjz1B2w");
}

TEST(TrafficSummary, CapturedLogCounts)
{
    TrafficSummarizer summarizer(captureEnd);
    summarizer.feed(capturedLog().toStdString());
    summarizer.finish();
    const TrafficSummary summary = summarizer.summary(captureEnd);
    // Three messages arrived, plus the bounce notice Postfix wrote itself.
    EXPECT_EQ(summary.total, (TrafficCounts{4, 2, 1, 1, 3, 1, 1}));
    EXPECT_EQ(summary.hours[23], summary.total);
    EXPECT_EQ(summary.topRecipientDomains, (std::vector<RankedName>{{"probe.local", 2}}));
    EXPECT_EQ(summary.topSenderDomains,
              (std::vector<RankedName>{{"sender.example", 2}, {"<>", 1}, {"probe.local", 1}}));
    ASSERT_EQ(summary.topRejectReasons.size(), 3u);
    EXPECT_EQ(summary.topRejectReasons[0].name, "Client host rejected: Refused by the local client list");
    EXPECT_EQ(summary.topRejectReasons[1].name, "Relay access denied");
}

TEST(TrafficSummary, PiecesOfAnySizeGiveTheSameCounts)
{
    const std::string log = capturedLog().toStdString();
    for (std::size_t piece : {1u, 7u, 100u, 4096u}) {
        TrafficSummarizer summarizer(captureEnd);
        for (std::size_t at = 0; at < log.size(); at += piece)
            summarizer.feed(std::string_view(log).substr(at, piece));
        summarizer.finish();
        EXPECT_EQ(summarizer.summary(captureEnd).total, (TrafficCounts{4, 2, 1, 1, 3, 1, 1})) << piece;
    }
}

TEST(TrafficSummary, OnlyTheLast24HoursCount)
{
    const std::int64_t now = civilSeconds(2026, 1, 2, 10, 30, 0);
    TrafficSummarizer summarizer(now);
    summarizer.feed("Jan  1 10:29:00 h postfix/cleanup[1]: AAAAA1: message-id=<a>\n" // 24 h 1 min ago
                    "Jan  1 11:00:00 h postfix/cleanup[1]: AAAAA2: message-id=<b>\n"
                    "Dec 31 23:00:00 h postfix/cleanup[1]: AAAAA3: message-id=<c>\n" // last year
                    "Jan  2 10:29:59 h postfix/cleanup[1]: AAAAA4: message-id=<d>\n");
    TrafficSummary summary = summarizer.summary(now);
    EXPECT_EQ(summary.total.received, 2);
    EXPECT_EQ(summary.hours[0].received, 1);
    EXPECT_EQ(summary.hours[23].received, 1);
    // An hour later the 11 o'clock message has left the window.
    summary = summarizer.summary(now + 3600);
    EXPECT_EQ(summary.total.received, 1);
    EXPECT_EQ(summary.hours[22].received, 1);
}

// Followed past midnight on New Year's Eve, January's lines are the new year's.
TEST(TrafficSummary, AFollowedLogCrossesNewYear)
{
    const std::int64_t start = civilSeconds(2026, 12, 31, 23, 59, 0);
    TrafficSummarizer summarizer(start);
    summarizer.feed("Dec 31 23:59:30 h postfix/cleanup[1]: AAAAA1: message-id=<a>\n"
                    "Jan  1 00:00:30 h postfix/cleanup[1]: AAAAA2: message-id=<b>\n");
    EXPECT_EQ(summarizer.summary(start + 120).total.received, 2);
}

TEST(TrafficSummary, RetriedMessagesNameTheirSenderOnce)
{
    const std::int64_t now = civilSeconds(2026, 12, 8, 12, 0, 0);
    TrafficSummarizer summarizer(now);
    for (int retry = 0; retry < 3; ++retry)
        summarizer.feed("Dec  8 11:00:00 h postfix/qmgr[1]: BBBBB1: from=<Joe@Example.ORG>, size=1, nrcpt=1 "
                        "(queue active)\n");
    EXPECT_EQ(summarizer.summary(now).topSenderDomains, (std::vector<RankedName>{{"example.org", 1}}));
}

TEST(LogLines, KeepsLinesAcrossPiecesAndFindsThem)
{
    const QByteArray log = capturedLog();
    LogLines lines;
    for (qsizetype at = 0; at < log.size(); at += 13)
        lines.append(QByteArrayView(log).sliced(at, std::min<qsizetype>(13, log.size() - at)));
    lines.finish();
    const QList<QByteArray> expected = log.trimmed().split('\n');
    ASSERT_EQ(lines.size(), expected.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines.line(i), expected.at(i));
    EXPECT_EQ(linesContaining(lines, "STATUS=SENT").size(), 2u);
    EXPECT_EQ(linesContaining(lines, "").size(), std::size_t(lines.size()));
    EXPECT_TRUE(linesContaining(lines, "no such text").empty());
}

TEST(LogLines, AMessagesLifeFromArrivalToRemoval)
{
    LogLines lines;
    lines.append(capturedLog());
    lines.finish();
    const QString life = inOrder(lines, linesOfMessage(lines, "20ADF68"), 100);
    const QStringList steps = life.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(steps.size(), 6) << life.toStdString();
    EXPECT_TRUE(steps.first().contains("pickup")); // received
    EXPECT_TRUE(steps.at(3).contains("status=bounced"));
    EXPECT_TRUE(steps.last().endsWith("20ADF68: removed"));
    // The bounce notice's own life names the message it reports on.
    const QString notice = inOrder(lines, linesOfMessage(lines, "237F06C"), 100);
    EXPECT_TRUE(notice.startsWith("Dec 08 11:31:57 probe postfix/cleanup[172]: 237F06C: message-id="));
    EXPECT_TRUE(notice.contains("20ADF68: sender non-delivery notification: 237F06C\n"));
    EXPECT_TRUE(newestFirst(lines, linesOfMessage(lines, "DEE7060"), 1).endsWith("DEE7060: removed\n"));
    EXPECT_TRUE(looksLikeQueueId("DEE7060"));
    EXPECT_FALSE(looksLikeQueueId("DEE7"));
    EXPECT_FALSE(looksLikeQueueId("DEE7060;"));
}


// Lines Postfix 3.7 wrote in the sandbox (capture-maillog-hostile.sh) for
// remote text that imitates its own fields, and a few it writes elsewhere.
TEST(MailLogLine, FieldsAreReadAsPostfixWritesThem)
{
    struct Case {
        std::string line;
        Kind kind;
        std::string_view address, reason, originalId = {};
    };
    const std::string prefix = "Jan  1 00:00:00 probe postfix/";
    const std::string requeued = hostileLine("orig_id=");
    const std::string original = requeued.substr(requeued.size() - 7);
    const Case cases[] = {
        {hostileLine("to=<\"x, status=bounced\"@probe.local>"), Kind::Bounced, "\"x, status=bounced\"@probe.local", ""},
        {prefix + "smtp[1]: 4AF737A: to=<\"a, status=sent\"@x.example>, relay=none, delay=1, dsn=4.4.1, "
                  "status=deferred (connect to x.example: Connection refused)",
         Kind::Deferred, "\"a, status=sent\"@x.example", ""},
        {prefix + "local[1]: 4AF737A: to=<a@probe.local>, orig_to=<\"b>, status=sent\"@probe.local>, relay=local, "
                  "dsn=5.1.1, status=bounced (unknown user)",
         Kind::Bounced, "a@probe.local", ""},
        {hostileLine("from=<\"x@trusted.example>\"@evil.example>"), Kind::SenderSeen,
         "\"x@trusted.example>\"@evil.example", ""},
        {hostileLine("Listed as spam"), Kind::Rejected, "someone@elsewhere.example", "Relay access denied"},
        {hostileLine("non-SMTP command"), Kind::Other, "", ""},
        {hostileLine("status=expired, returned to sender"), Kind::Expired, "bob@sender.example", ""},
        {requeued, Kind::Requeued, "", "", original},
        {hostileLine("Service currently unavailable"), Kind::Rejected, "alice@probe.local",
         "Service currently unavailable"},
        {prefix + "postscreen[9]: NOQUEUE: reject: RCPT from [192.0.2.9]:4711: 550 5.7.1 Service unavailable; "
                  "client [192.0.2.9] blocked using zen.example; from=<a@b.example>, to=<c@probe.local>, "
                  "proto=ESMTP, helo=<x>",
         Kind::Rejected, "c@probe.local", "blocked using zen.example"},
        {prefix + "smtpd[9]: NOQUEUE: reject: RCPT from unknown[192.0.2.7]: 450 4.7.25 Client host rejected: "
                  "cannot find your hostname, [192.0.2.7]; from=<a@b.example> to=<c@probe.local> proto=ESMTP helo=<x>",
         Kind::Rejected, "c@probe.local", "Client host rejected: cannot find your hostname"},
        {prefix + "cleanup[9]: 4AF737A: reject: header Subject: win from unknown[192.0.2.7]; from=<a@b.example> "
                  "to=<c@probe.local> proto=ESMTP helo=<x>: 5.7.1 Spam is not welcome",
         Kind::Rejected, "", "Spam is not welcome"},
        {prefix + "cleanup[9]: 4AF737A: reject: body x helo=<y>: Fake from unknown[192.0.2.7]; from=<a@b.example> "
                  "to=<c@probe.local> proto=ESMTP helo=<y>: 5.7.1 Spam is not welcome",
         Kind::Rejected, "", "Spam is not welcome"},
        {prefix + "smtpd[9]: warning: unknown[192.0.2.7]: SASL PLAIN authentication failed: UGFzc3dvcmQ6",
         Kind::AuthFailed, "", ""},
        {prefix + "smtpd[9]: warning: hostname x.example does not resolve: SASL LOGIN authentication failed",
         Kind::Other, "", ""},
        {prefix + "smtp[1]: 4AF737A: to=<\"never closed@x.example, status=sent", Kind::Other, "", ""},
    };
    for (const Case& c : cases) {
        const MailLogEvent event = parseMailLogLine(c.line, 2026);
        EXPECT_EQ(event.kind, c.kind) << c.line;
        EXPECT_EQ(event.address, c.address) << c.line;
        EXPECT_EQ(event.reason, c.reason) << c.line;
        EXPECT_EQ(event.originalId, c.originalId) << c.line;
    }
    EXPECT_EQ(domainOf("\"x@trusted.example>\"@Evil.Example"), "evil.example");
}

// A day counted by hand, up to New Year's morning: retries, a requeue, an
// expiry, three recipients of one message, postscreen, the window's edges.
// Every count below was worked out from the lines, not from the code.
TEST(TrafficSummary, AHandCountedDay)
{
    const std::int64_t now = civilSeconds(2027, 1, 1, 10, 0, 0);
    TrafficSummarizer summarizer(now);
    summarizer.feed(capturedLog("mail.log-hand-counted.txt").toStdString());
    const TrafficSummary summary = summarizer.summary(now);

    // received 1BBBB01 1BBBB02 1CCCC01 1DDDD01 1EEEE01 1FFFF01 2AAAA01 2BBBB01;
    // delivered 1CCCC01 1DDDD01 1FFFF01 2BBBB01; deferred 1CCCC01 1EEEE01
    // 2AAAA01 (4 + 1 + 2 attempts); bounced 1DDDD01 1EEEE01; refused 3
    // postscreen + 2 nameless + relay + blocklist; one failed login.
    EXPECT_EQ(summary.total, (TrafficCounts{8, 4, 3, 2, 7, 1, 7}));
    EXPECT_EQ(summary.hours[0].received, 2);
    EXPECT_EQ(summary.hours[13].received, 1); // Dec 31 23:59
    EXPECT_EQ(summary.hours[14].bounced, 1);  // Jan 1 00:00:01
    EXPECT_EQ(summary.hours[23], (TrafficCounts{1, 1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(summary.topRejectReasons,
              (std::vector<RankedName>{{"Service currently unavailable", 3},
                                       {"Client host rejected: cannot find your hostname", 2},
                                       {"Relay access denied", 1},
                                       {"blocked using rbl.test", 1}}));
    EXPECT_EQ(summary.topSenderDomains,
              (std::vector<RankedName>{{"sender.example", 4}, {"<>", 1}, {"evil.example", 1}}));
    EXPECT_EQ(summary.topRecipientDomains,
              (std::vector<RankedName>{{"probe.local", 3}, {"far.example", 1}, {"sender.example", 1}}));
    // Half an hour on, the two first-hour messages have left the window and
    // the one a second after now has come in.
    EXPECT_EQ(summarizer.summary(now + 1800).total.received, 7);
    EXPECT_TRUE(summaryText(summary).startsWith(
        "Last 24 hours, since Dec 31 10:00\n"
        "Messages: 8 received, 4 delivered, 3 deferred, 2 bounced or expired\n"
        "Deferred delivery attempts: 7, refusals: 7, failed SMTP logins: 1\n"
        "Top reject reasons: Service currently unavailable (3), "))
        << summaryText(summary).toStdString();
}

// Clicks on a log line follow the queue IDs it names where it names them:
// not an address or a host name that looks like one.
TEST(MailLogLine, QueueIdsWhereTheLineNamesThem)
{
    struct Case {
        std::string line;
        std::string_view clicked; // the click lands on the first character of this text
        std::string_view id;
    };
    const Case cases[] = {
        {capturedLine("DEE7060: client=localhost"), "DEE7060: client", "DEE7060"},
        {capturedLine("D15D46F: to=<joe@closed.example>"), "15D46F: to", "D15D46F"},
        {capturedLine("D15D46F: to=<joe@closed.example>"), ": to=", "D15D46F"}, // just after its last letter
        {capturedLine("sender non-delivery notification"), "37F06C", "237F06C"},
        {capturedLine("sender non-delivery notification"), "20ADF68", "20ADF68"},
        {hostileLine("orig_id="), "orig_id=", ""},
        {hostileLine("orig_id="), "uid=", ""},
        {"Jan  1 00:00:00 mx postfix/smtp[4]: 1CCCC01: to=<ABCDEF1@far.example>, relay=far.example, "
         "status=sent (250 2.0.0 Ok: queued as 4C0FFEE)",
         "4C0FFEE", "4C0FFEE"},
        {"Jan  1 00:00:00 mx postfix/smtp[4]: 1CCCC01: to=<ABCDEF1@far.example>, status=sent (250 Ok)", "ABCDEF1",
         ""},
        {"Jan  1 00:00:00 mx postfix/qmgr[3]: 4Ms1Yb3jGjz1B2w: removed", "Yb3j", "4Ms1Yb3jGjz1B2w"},
        {"Jan  1 00:00:00 mx postfix/smtpd[2]: NOQUEUE: reject: RCPT from x", "NOQUEUE", ""},
        {"Jan  1 00:00:00 mx dovecot: imap-login: 1CCCC01: hello", "1CCCC01", ""},
    };
    for (const Case& c : cases) {
        const std::size_t at = c.line.find(c.clicked);
        ASSERT_NE(at, std::string::npos) << c.line;
        EXPECT_EQ(queueIdAt(c.line, at), c.id) << c.line << " at " << c.clicked;
    }
    const std::string requeued = hostileLine("orig_id=");
    const std::string original = requeued.substr(requeued.size() - 7);
    EXPECT_EQ(queueIdAt(requeued, requeued.size() - 3), original);

    // The log's clicks and search and the queue's root commands take the same IDs.
    for (const char* text : {"DEE7060", "4Ms1Yb3jGjz1B2w", "BCDFG", "NOQUEUE", "ALL", "deferred", "DEE7", "dee7060",
                             "DEE7060;", "4Ms1Yb3jGjz1B2a", "warning", "statistics"}) {
        EXPECT_EQ(looksLikeQueueId(text), isQueueID(QString::fromLatin1(text))) << text;
        EXPECT_EQ(queueIdOfLine(std::string("Jan  1 00:00:00 mx postfix/qmgr[3]: ") + text + ": removed").empty(),
                  !isQueueId(text))
            << text;
    }
}

// What rspamd and clamd did, as Postfix logged it in the filtering scenario
// (capture-filtering-log.sh); the last rows are captured lines altered as a
// sender or greylisting would alter them.
TEST(MailLogLine, FilterVerdictsAreToldApart)
{
    const auto captured = [](std::string_view holding) { return capturedLine(holding, "mail.log-filtering.txt"); };
    const auto altered = [&](std::string_view holding, std::string_view from, std::string_view to) {
        std::string line = captured(holding);
        if (const std::size_t at = line.find(from); at != std::string::npos)
            line.replace(at, from.size(), to);
        return line;
    };
    const std::tuple<std::string, Kind, std::string_view> cases[] = {
        {captured("marked as spam"), Kind::SpamMarked, ""},
        {captured("Gtube pattern"), Kind::SpamRejected, "Gtube pattern"},
        {captured("Spam message rejected"), Kind::SpamRejected, "Spam message rejected"},
        {captured("virus found"), Kind::VirusRejected, "clamav: virus found: \"Brevane.Test.EICAR.UNOFFICIAL\""},
        {captured("message-id=<virus@"), Kind::Received, ""},
        {altered("Gtube pattern", "5.7.1 Gtube pattern", "4.7.1 Try again later"), Kind::Rejected,
         "Try again later"},
        {altered("Gtube pattern", "Gtube pattern", "Listed: virus found: x"), Kind::SpamRejected,
         "Listed: virus found: x"},
        {altered("virus found", "END-OF-MESSAGE", "RCPT"), Kind::Rejected,
         "clamav: virus found: \"Brevane.Test.EICAR.UNOFFICIAL\""},
        {altered("marked as spam", "X-Spam: Yes", "X-Spam-Status: Yes"), Kind::Other, ""},
        {altered("marked as spam", ": marked as spam", ": marked as spam>"), Kind::Other, ""},
    };
    for (const auto& [line, kind, reason] : cases) {
        const MailLogEvent event = parseMailLogLine(line, 2026);
        EXPECT_EQ(event.kind, kind) << line;
        EXPECT_EQ(event.reason, reason) << line;
        EXPECT_FALSE(event.queueId.empty()) << line;
    }
    TrafficSummarizer summarizer(civilSeconds(2026, 12, 9, 17, 0, 0));
    summarizer.feed(capturedLog("mail.log-filtering.txt").toStdString());
    const TrafficSummary summary = summarizer.summary(civilSeconds(2026, 12, 9, 17, 0, 0));
    EXPECT_EQ(summary.total.rejected, 3);
    EXPECT_TRUE(summaryText(summary).contains("\nFiltering: 2 marked as spam, 2 rejected as spam, 1 rejected: virus\n"))
        << summaryText(summary).toStdString();
}
