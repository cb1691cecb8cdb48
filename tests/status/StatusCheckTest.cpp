#include "status/StatusChecks.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using namespace brevane::status;
using namespace std::chrono_literals;

namespace {

Check answering(const char* id, State state, std::chrono::milliseconds after, std::chrono::milliseconds limit)
{
    return { QString::fromLatin1(id), QString::fromLatin1(id), limit, [state, after] {
                std::this_thread::sleep_for(after);
                return Result { state, QStringLiteral("found"), {}, {} };
            } };
}

QStringList shell(const QString& script)
{
    return { QStringLiteral("/bin/sh"), QStringLiteral("-c"), script };
}

} // namespace

TEST(StatusEngine, ChecksRunTogetherAndAnOverrunIsRedWithoutHoldingTheRest)
{
    const QList<Check> checks {
        answering("slow but in time", State::Green, 300ms, 2s),
        answering("hangs", State::Green, 10s, 400ms),
        answering("quick", State::Yellow, 0ms, 2s),
        { QStringLiteral("throws"), QStringLiteral("throws"), 1s,
            []() -> Result { throw std::runtime_error("boom"); } },
        { QStringLiteral("empty"), QStringLiteral("empty"), 1s, {} },
    };
    QElapsedTimer timer;
    timer.start();
    const QList<Outcome> outcomes = runChecks(checks);
    // Together, not one after another, and not waiting for the hung one.
    EXPECT_LT(timer.elapsed(), 1500);
    ASSERT_EQ(outcomes.size(), 5);
    EXPECT_EQ(outcomes.at(0).result.state, State::Green);
    EXPECT_EQ(outcomes.at(1).id, "hangs");
    EXPECT_EQ(outcomes.at(1).result.state, State::Red);
    EXPECT_EQ(outcomes.at(1).result.found, "No answer within 0.4 s.");
    EXPECT_EQ(outcomes.at(2).result.state, State::Yellow);
    EXPECT_EQ(outcomes.at(3).result.state, State::Red);
    EXPECT_EQ(outcomes.at(3).result.found, "The check itself failed: boom");
    EXPECT_EQ(outcomes.at(4).result.state, State::Red);
}

TEST(StatusEngine, QueueCheckReadsTheListingAndSaysWhyItCannot)
{
    const qint64 fiveHoursAgo = QDateTime::currentSecsSinceEpoch() - 5 * 3600;
    const QString deferred = QStringLiteral(R"({"queue_name": "deferred", "queue_id": "E2E9240", "arrival_time": %1, )"
                                            R"("message_size": 255, "forced_expire": false, "sender": "a@b.example", )"
                                            R"("recipients": [{"address": "c@d.example", "delay_reason": "x"}]})")
                                 .arg(fiveHoursAgo);
    const struct {
        const char* name;
        QStringList command;
        State state;
        const char* found;
    } cases[] = {
        { "empty queue", shell("true"), State::Green, "0 messages." },
        { "old deferred", shell("printf '%s\\n' '" + deferred + "'"), State::Red, "waited 5 h 0 min" },
        { "mail system down", shell("echo 'postqueue: fatal: Queue report unavailable' >&2; exit 69"), State::Red,
            "could not be listed: postqueue: fatal: Queue report unavailable" },
        { "no such program", { "/nonexistent/postqueue", "-j" }, State::Red, "could not be listed" },
        { "hangs", shell("sleep 10"), State::Red, "no answer within 1 s" },
    };
    for (const auto& c : cases) {
        const Result result = checkQueue(c.command, QueueLimits {}, 1000);
        EXPECT_EQ(result.state, c.state) << c.name;
        EXPECT_TRUE(result.found.contains(QLatin1String(c.found))) << c.name << ": " << result.found.toStdString();
    }
}

TEST(StatusEngine, SpaceOfARealFolderAndAMissingOne)
{
    const SpaceFacts here = spaceOf(QStringLiteral("queue"), QDir::tempPath());
    EXPECT_TRUE(here.readable);
    EXPECT_GT(here.total, 0);
    EXPECT_LE(here.available, here.total);
    EXPECT_FALSE(spaceOf(QStringLiteral("mailboxes"), QStringLiteral("/nonexistent/folder")).readable);
}
