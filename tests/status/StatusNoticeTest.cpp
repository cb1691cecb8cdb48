#include "status/StatusNotice.h"

#include "status/StatusSettings.h"

#include <gtest/gtest.h>

using namespace brevane::status;

namespace {

Outcome outcome(const char* id, State state, const char* found = "found")
{
    return { id, QStringLiteral("Title %1").arg(id), { state, found, {}, {} } };
}

} // namespace

// Rounds of checks while the window is open: which rounds raise a notice, about what.
TEST(StatusNotice, ToldWhenACheckTurnsRedOncePerChange)
{
    constexpr qint64 t0 = 1'800'000'000;
    constexpr qint64 minute = 60;
    const struct {
        const char* name;
        std::vector<std::pair<qint64, QList<Outcome>>> rounds;
        std::vector<QStringList> told;
    } cases[] = {
        { "red at the first round is told once",
            { { 0, { outcome("a", State::Red), outcome("b", State::Green) } },
                { 30 * minute, { outcome("a", State::Red), outcome("b", State::Green) } } },
            { { "a" }, {} } },
        { "yellow is never told, nor a repair",
            { { 0, { outcome("a", State::Yellow) } }, { 30 * minute, { outcome("a", State::Red) } },
                { 90 * minute, { outcome("a", State::Green) } } },
            { {}, { "a" }, {} } },
        { "red again after a lasting repair",
            { { 0, { outcome("a", State::Red) } }, { 60 * minute, { outcome("a", State::Green) } },
                { 120 * minute, { outcome("a", State::Red) } } },
            { { "a" }, {}, { "a" } } },
        { "a flap within the hour stays quiet",
            { { 0, { outcome("a", State::Red) } }, { 10 * minute, { outcome("a", State::Green) } },
                { 20 * minute, { outcome("a", State::Red) } } },
            { { "a" }, {}, {} } },
        { "two turning red share one notice",
            { { 0, { outcome("a", State::Red), outcome("b", State::Red), outcome("c", State::Yellow) } } },
            { { "a", "b" } } },
    };
    for (const auto& c : cases) {
        QHash<QString, AlertMemory> memory;
        std::vector<QStringList> told;
        for (const auto& [offset, outcomes] : c.rounds) {
            const NoticeRound round = noticeFor(memory, outcomes, t0 + offset);
            told.push_back(round.notice ? round.notice->ids : QStringList {});
            memory = round.memory;
        }
        EXPECT_EQ(told, c.told) << c.name;
    }
}

TEST(StatusNotice, NamesTheChecksAndEscapesWhatTheyFound)
{
    const NoticeRound one = noticeFor({}, { outcome("q", State::Red, "12 messages.") }, 1);
    ASSERT_TRUE(one.notice);
    EXPECT_EQ(one.notice->summary, "Brevane: Title q failing");
    EXPECT_EQ(one.notice->body, "Title q: 12 messages.");
    // A TXT record is anyone's text; servers reading markup must show it as it is.
    const NoticeRound two
        = noticeFor({}, { outcome("d", State::Red, "SPF: <a href='x'>v=spf1 &</a>"), outcome("e", State::Red) }, 1);
    ASSERT_TRUE(two.notice);
    EXPECT_EQ(two.notice->summary, "Brevane: 2 checks failing");
    EXPECT_EQ(two.notice->body, "Title d: SPF: &lt;a href='x'&gt;v=spf1 &amp;&lt;/a&gt;\nTitle e: found");
}

TEST(StatusSettings, AQueueLimitFromTheSettingsFileIsAWholeNumberInBounds)
{
    const struct {
        QVariant stored;
        qsizetype limit;
    } cases[] = {
        { QVariant(), 1000 },
        { 250, 250 },
        { "5000", 5000 },
        { " 40 ", 40 },
        { 10, 10 },
        { 9, 1000 },
        { -5, 1000 },
        { 1000001, 1000 },
        { "12abc", 1000 },
        { "1e3", 1000 },
        { 2.5, 1000 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(queueLimitFrom(c.stored), c.limit) << c.stored.toString().toStdString();
}
