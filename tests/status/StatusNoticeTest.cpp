#include "status/StatusNotice.h"

#include "status/StatusSettings.h"

#include <gtest/gtest.h>

using namespace brevane::status;

namespace {

Outcome outcome(const QString& id, State state, const char* found = "found")
{
    return { id, QStringLiteral("Title %1").arg(id), { state, found, {}, {} } };
}

// "aR bG": check a red, b green; Y yellow.
QList<Outcome> round(const QString& states)
{
    QList<Outcome> outcomes;
    for (const QString& check : states.split(u' ', Qt::SkipEmptyParts))
        outcomes.append(outcome(check.chopped(1),
            check.endsWith(u'R')       ? State::Red
                : check.endsWith(u'Y') ? State::Yellow
                                       : State::Green));
    return outcomes;
}

} // namespace

// Rounds of checks half an hour apart while the window is open: the checks
// each round's notice names ("a,b"), rounds separated by "|".
TEST(StatusNotice, ToldWhenACheckTurnsRedOncePerChange)
{
    const std::tuple<const char*, QStringList, const char*> cases[] = {
        { "red at the first round is told once", { "aR bG", "aR bG" }, "a|" },
        { "yellow is never told, nor a repair", { "aY", "aR", "aG", "aG" }, "|a||" },
        { "red again, an hour after a lasting repair", { "aR", "aG", "aG", "aR", "aR" }, "a||||a" },
        { "a repair within the hour is not told, so red again is not new", { "aR", "aG", "aR" }, "a||" },
        { "two turning red share one notice", { "aR bR cY" }, "a,b" },
    };
    for (const auto& [name, rounds, expected] : cases) {
        QHash<QString, AlertMemory> memory;
        QStringList told;
        for (qsizetype i = 0; i < rounds.size(); ++i) {
            const NoticeRound result = noticeFor(memory, round(rounds.at(i)), 1'800'000'000 + i * 1800);
            told.append(result.notice ? result.notice->ids.join(u',') : QString());
            memory = result.memory;
        }
        EXPECT_EQ(told.join(u'|'), expected) << name;
    }
}

TEST(StatusNotice, NamesTheChecksAndEscapesWhatTheyFound)
{
    EXPECT_EQ(noticeFor({}, round("qR"), 1).notice->summary, "Brevane: Title q failing");
    // A TXT record is anyone's text; servers reading markup must show it as it is.
    const NoticeRound two
        = noticeFor({}, { outcome("d", State::Red, "SPF: <a href='x'>v=spf1 &</a>"), outcome("e", State::Red) }, 1);
    EXPECT_EQ(two.notice->summary, "Brevane: 2 checks failing");
    EXPECT_EQ(two.notice->body, "Title d: SPF: &lt;a href='x'&gt;v=spf1 &amp;&lt;/a&gt;\nTitle e: found");
}

TEST(StatusSettings, AQueueLimitFromTheSettingsFileIsAWholeNumberInBounds)
{
    const std::pair<QVariant, qsizetype> cases[] = { { QVariant(), 1000 }, { 250, 250 }, { " 40 ", 40 }, { 10, 10 },
        { 9, 1000 }, { -5, 1000 }, { 1000001, 1000 }, { "12abc", 1000 }, { "1e3", 1000 }, { 2.5, 1000 } };
    for (const auto& [stored, limit] : cases)
        EXPECT_EQ(queueLimitFrom(stored), limit) << stored.toString().toStdString();
}
