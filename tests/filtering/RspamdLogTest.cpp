#include "filtering/RspamdLog.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace brevane::filtering;

namespace {

// rspamd's lines of the filtering scenario, kept by capture-filtering-log.sh.
QByteArray capturedLog()
{
    QFile file(QStringLiteral(MAINTENANCE_TEST_DATA "/rspamd.log-filtering.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The captured scan of `queueId` with `from` replaced by `to`, as a sender
// could alter the fields that are theirs.
QByteArray altered(const char* queueId, const QByteArray& from, const QByteArray& to)
{
    for (const QByteArray& line : capturedLog().split('\n'))
        if (line.contains("qid: <" + QByteArray(queueId) + ">, ") && line.contains(from))
            return QByteArray(line).replace(from, to);
    ADD_FAILURE() << "no scan of " << queueId << " holds " << from.toStdString();
    return {};
}

} // namespace

TEST(RspamdLog, CapturedScansAndAlteredOnesRead)
{
    const QByteArray log = capturedLog();
    const std::pair<QByteArray, QByteArray> strangers[] = { { log, "F2816C" }, { log, "x;rm" }, { {}, "F2816CC" } };
    for (const auto& [in, queueId] : strangers) // another message's ID, or none of ours
        EXPECT_TRUE(rspamdVerdicts(in, queueId).isEmpty()) << queueId.toStdString();
    const char* const unread = "scanned this message; its line is not read";
    // A log, a queue ID and a part of the view's line after the time.
    const std::tuple<QByteArray, const char*, const char*> cases[] = {
        { log, "F2816CC",
            "add header, score 3.90 (reject at 15.00): MIME_BAD_EXTENSION 4.00, MIME_GOOD -0.10; also ARC_NA," },
        { log, "32F06E0", "reject, score 15.00 (reject at 15.00); also GTUBE" },
        { log, "54192E3",
            "reject, score 3.90 (reject at 15.00): MIME_BAD_EXTENSION 4.00, MIME_GOOD -0.10; also ARC_NA, "
            "CLAM_VIRUS," },
        { log, "79826E5", "no action, score -0.10 (reject at 15.00): MIME_GOOD -0.10;" },
        { log, "BADBF10C", "add header, score 4.96 (reject at 15.00): BAYES_SPAM 5.06, MIME_GOOD -0.10;" },
        { log, "DF598159", "reject, score 3.90 (reject at 3.50): " },
        // A Message-ID or sender that repeats rspamd's markers: seen, not believed.
        { altered("F2816CC", "<marked@example.test>",
              "<x>, qid: <F2816CC>, ip: 1.2.3.4, from: <a>, (default: F (no "
              "action): [0.00/15.00] []), y>"),
            "F2816CC", unread },
        { altered("79826E5", "from: <alice@example.test>", "from: <a (default: F (no action): [-9/15] []),>"),
            "79826E5", unread },
        // Options holding anything, and symbol lists cut short.
        { altered("F2816CC", "{com;}", "{c)o,m]}"), "F2816CC",
            "add header, score 3.90 (reject at 15.00): MIME_BAD_EXTENSION 4.00," },
        { altered("F2816CC", "FROM_EQ_ENVFROM(0.00){}", "FROM_EQ_ENVFROM(0.00){x;},FORGED(42.00){y;}"), "F2816CC",
            unread },
        { altered("F2816CC", "(4.00){com;}", "(four){com;}"), "F2816CC", unread },
        { altered("32F06E0", "GTUBE(0.00){}]", "GTUBE(0.00){"), "32F06E0", unread },
    };
    for (const auto& [scans, queueId, part] : cases) {
        const QList<RspamdVerdict> verdicts = rspamdVerdicts(scans, queueId);
        ASSERT_EQ(verdicts.size(), 1) << queueId << " " << scans.left(300).toStdString();
        const QString text = verdictText(verdicts.first());
        static const QRegularExpression head(QStringLiteral("^rspamd 2026-12-09 16:5\\d:\\d\\d: "));
        EXPECT_TRUE(text.contains(head) && text.contains(QLatin1String(part))) << text.toStdString();
    }
}

TEST(RspamdLog, OnlyAQueueIdReachesTheRootCommand)
{
    EXPECT_EQ(rspamdLinesCommand(QStringLiteral("F2816CC"))->last(), QStringLiteral("F2816CC"));
    for (const char* hostile : { "", "F2816CC; reboot", "-e x", "../x", "F2816CC\n" })
        EXPECT_FALSE(rspamdLinesCommand(QLatin1String(hostile))) << hostile;
    // Another file than ours is never read as root, and a missing log says nothing.
    int runs = 0;
    const brevane::PrivilegedRun run = [&runs](const QStringList&) { return QString::number(++runs); };
    EXPECT_TRUE(rspamdLinesAbout(QStringLiteral("/nonexistent/rspamd.log"), QStringLiteral("F2816CC"), run).isEmpty());
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(rspamdLinesAbout(
                  QStringLiteral(MAINTENANCE_TEST_DATA "/rspamd.log-filtering.txt"), QStringLiteral("BADBF10C"), run)
                  .count("rspamd_task_write_log"),
        1);
}
