#include "SandboxSupport.h"
#include "maintenance/LogReading.h"
#include "maintenance/TrafficSummary.h"

#include <gtest/gtest.h>

using namespace brevane;

namespace {

QString fixture(const QString& line)
{
    const QString script = QStringLiteral(MAINTENANCE_TEST_DIR "/maillog-fixture.sh");
    return sandbox::run({"/bin/bash", "-c", QStringLiteral("set -e; source '%1'; %2").arg(script, line)});
}

// The runner's own vector, run as root the way the helper runs it, its
// output without the last character: the window's privileged reading path.
QString runLikeTheHelper(const QStringList& command)
{
    QString output = sandbox::run(command);
    output.chop(1);
    return output;
}

TrafficSummary currentSummary()
{
    TrafficSummarizer summarizer(localNow());
    qint64 offset = 0;
    for (;;) {
        const LogChunk piece
            = parseChunkReply(runLikeTheHelper(privilegedChunkCommand(LogFile::MailLog, offset, 1 << 16)));
        if (!piece.ok || piece.bytes.isEmpty())
            break;
        summarizer.feed({piece.bytes.constData(), std::size_t(piece.bytes.size())});
        offset += piece.bytes.size();
    }
    return summarizer.summary(localNow());
}

} // namespace

class MailLogSandbox : public testing::Test
{
protected:
    void SetUp() override { SKIP_OUTSIDE_SANDBOX(); }
};

TEST_F(MailLogSandbox, CountsMoveAsMailFlowsAndIsRefused)
{
    fixture("start_logging_postfix; wait_for_log 'daemon started'");
    const TrafficCounts before = currentSummary().total;

    fixture("smtp_message bob@sender.example alice@probe.local; wait_for_log status=sent");
    TrafficSummary after = currentSummary();
    EXPECT_EQ(after.total.received, before.received + 1);
    EXPECT_EQ(after.total.delivered, before.delivered + 1);
    EXPECT_EQ(after.topRecipientDomains.at(0).name, "probe.local");
    EXPECT_EQ(after.topSenderDomains.at(0).name, "sender.example");

    fixture("smtp_message spam@listed.example alice@probe.local --local-interface 127.0.0.5;"
            "wait_for_log 'blocked using rbl.test';"
            "smtp_message carol@probe.local alice@probe.local --auth LOGIN --auth-user carol@probe.local "
            "--auth-password wrong; wait_for_log 'authentication failed';"
            "smtp_message bob@sender.example joe@closed.example; wait_for_log status=deferred;"
            "local_message root@probe.local nobody-here@probe.local; wait_for_log status=bounced");
    after = currentSummary();
    EXPECT_EQ(after.total.rejected, before.rejected + 1);
    EXPECT_EQ(after.total.authFailed, before.authFailed + 1);
    EXPECT_EQ(after.total.deferred, before.deferred + 1);
    EXPECT_EQ(after.total.bounced, before.bounced + 1);
    ASSERT_FALSE(after.topRejectReasons.empty());
    EXPECT_EQ(after.topRejectReasons.at(0).name, "blocked using rbl.test");
    EXPECT_EQ(after.hours[22].received + after.hours[23].received, after.total.received);

    // postsuper -r gives the deferred message a new queue ID: it is neither
    // received nor deferred anew, only tried once more.
    const TrafficCounts beforeRequeue = after.total;
    fixture("postsuper -r ALL >/dev/null 2>&1; postkick public pickup W; wait_for_log orig_id=;"
            "wait_for_log status=deferred 2");
    after = currentSummary();
    EXPECT_EQ(after.total.received, beforeRequeue.received);
    EXPECT_EQ(after.total.deferred, beforeRequeue.deferred);
    EXPECT_EQ(after.total.deferrals, beforeRequeue.deferrals + 1);
    fixture("postfix stop >/dev/null 2>&1 || true");
}
