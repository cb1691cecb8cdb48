#include "filtering/RspamdLog.h"

#include <QFile>
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
    struct Case {
        QByteArray log;
        const char* queueId;
        int scans;
        bool readable;
        const char* action;
        double score;
        double rejectScore;
        const char* text; ///< a part of the view's line
    };
    const QByteArray log = capturedLog();
    const Case cases[] = {
        { log, "F2816CC", 1, true, "add header", 3.9, 15, "add header, score 3.90 (reject at 15.00): MIME_BAD_EXTENSION 4.00, MIME_GOOD -0.10; also ARC_NA," },
        { log, "32F06E0", 1, true, "reject", 15, 15, "reject, score 15.00 (reject at 15.00); also GTUBE" },
        { log, "54192E3", 1, true, "reject", 3.9, 15, ", CLAM_VIRUS," },
        { log, "79826E5", 1, true, "no action", -0.1, 15, "no action, score -0.10" },
        { log, "BADBF10C", 1, true, "add header", 4.96, 15, ": BAYES_SPAM 5.06, MIME_GOOD -0.10" },
        { log, "DF598159", 1, true, "reject", 3.9, 3.5, "(reject at 3.50)" },
        // Another message's ID, or none of ours, finds nothing.
        { log, "F2816C", 0 }, { log, "x;rm", 0 }, { {}, "F2816CC", 0 },
        // A Message-ID or sender that repeats rspamd's markers: seen, not believed.
        { altered("F2816CC", "<marked@example.test>", "<x>, qid: <F2816CC>, ip: 1.2.3.4, from: <a>, (default: F (no "
                  "action): [0.00/15.00] []), y>"), "F2816CC", 1, false, "", 0, 0, "its line is not read" },
        { altered("79826E5", "from: <alice@example.test>", "from: <a (default: F (no action): [-9/15] []),>"),
            "79826E5", 1, false, "", 0, 0, "not read" },
        // Options holding anything, and symbol lists cut short.
        { altered("F2816CC", "{com;}", "{c)o,m]}"), "F2816CC", 1, true, "add header", 3.9, 15, "MIME_BAD_EXTENSION 4.00" },
        { altered("F2816CC", "FROM_EQ_ENVFROM(0.00){}", "FROM_EQ_ENVFROM(0.00){x;},FORGED(42.00){y;}"), "F2816CC", 1,
            false, "", 0, 0, "not read" },
        { altered("F2816CC", "(4.00){com;}", "(four){com;}"), "F2816CC", 1, false, "", 0, 0, "not read" },
        { altered("32F06E0", "GTUBE(0.00){}]", "GTUBE(0.00){"), "32F06E0", 1, false, "", 0, 0, "not read" },
    };
    for (const Case& c : cases) {
        const QList<RspamdVerdict> verdicts = rspamdVerdicts(c.log, c.queueId);
        ASSERT_EQ(verdicts.size(), c.scans) << c.queueId << " " << c.log.left(300).toStdString();
        if (c.scans == 0)
            continue;
        const RspamdVerdict& verdict = verdicts.first();
        EXPECT_EQ(verdict.readable, c.readable) << c.queueId;
        EXPECT_EQ(verdict.action, QLatin1String(c.action)) << c.queueId;
        EXPECT_DOUBLE_EQ(verdict.score, c.score) << c.queueId;
        EXPECT_DOUBLE_EQ(verdict.rejectScore, c.rejectScore) << c.queueId;
        EXPECT_TRUE(verdict.time.startsWith(QLatin1String("2026-12-09 16:5"))) << verdict.time.toStdString();
        EXPECT_TRUE(verdictText(verdict).contains(QLatin1String(c.text))) << verdictText(verdict).toStdString();
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
    EXPECT_EQ(rspamdLinesAbout(QStringLiteral(MAINTENANCE_TEST_DATA "/rspamd.log-filtering.txt"),
                  QStringLiteral("BADBF10C"), run)
                  .count("rspamd_task_write_log"),
        1);
}
