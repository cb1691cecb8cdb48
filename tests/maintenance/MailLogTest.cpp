#include "maintenance/LogLines.h"
#include "maintenance/MailLogLine.h"
#include "maintenance/TrafficSummary.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace brevane;
using Kind = MailLogEvent::Kind;

namespace {

// Lines of real Postfix 3.7 traffic, captured in the sandbox by
// capture-maillog.sh: one delivery, one bounce, one deferral, three
// refusals and a failed SASL login.
QByteArray capturedLog()
{
    QFile file(QStringLiteral(MAINTENANCE_TEST_DATA "/mail.log-captured.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string capturedLine(std::string_view holding)
{
    for (const QByteArray& line : capturedLog().split('\n')) {
        if (std::string_view(line.constData(), std::size_t(line.size())).find(holding) != std::string_view::npos)
            return line.toStdString();
    }
    ADD_FAILURE() << "no captured line holds " << holding;
    return {};
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
    EXPECT_EQ(summary.total, (TrafficCounts{4, 2, 1, 1, 3, 1}));
    EXPECT_EQ(summary.hours[23], summary.total);
    EXPECT_EQ(summary.firstHour, 12);
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
        EXPECT_EQ(summarizer.summary(captureEnd).total, (TrafficCounts{4, 2, 1, 1, 3, 1})) << piece;
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
    EXPECT_EQ(summary.firstHour, 11);
    EXPECT_EQ(summary.hours[0].received, 1);
    EXPECT_EQ(summary.hours[23].received, 1);
    // An hour later the 11 o'clock message has left the window.
    summary = summarizer.summary(now + 3600);
    EXPECT_EQ(summary.total.received, 1);
    EXPECT_EQ(summary.hours[22].received, 1);
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
