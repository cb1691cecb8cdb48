#include "status/AlertRule.h"

#include <gtest/gtest.h>

using namespace brevane::status;

// One check's states run after run: which runs alert.
TEST(AlertRule, OncePerChangeAndAtMostHourly)
{
    constexpr qint64 t0 = 1'800'000'000;
    constexpr qint64 minute = 60;
    const struct {
        const char* name;
        std::vector<std::pair<qint64, State>> runs; // offset from t0, state
        std::vector<bool> alerts;
    } cases[] = {
        { "green stays silent", { { 0, State::Green }, { 30 * minute, State::Green } }, { false, false } },
        { "first red alerts once", { { 0, State::Red }, { 30 * minute, State::Red }, { 90 * minute, State::Red } },
            { true, false, false } },
        { "repair alerted after the hour", { { 0, State::Red }, { 60 * minute, State::Green } }, { true, true } },
        { "repair within the hour waits, then is told",
            { { 0, State::Red }, { 30 * minute, State::Green }, { 59 * minute, State::Green },
                { 60 * minute, State::Green } },
            { true, false, false, true } },
        { "a flap within the hour is never told",
            { { 0, State::Red }, { 10 * minute, State::Green }, { 20 * minute, State::Red },
                { 80 * minute, State::Red } },
            { true, false, false, false } },
        { "yellow then red are two changes", { { 0, State::Yellow }, { 60 * minute, State::Red } }, { true, true } },
        { "a clock set back does not silence", { { 0, State::Red }, { -5 * minute, State::Green } }, { true, true } },
    };
    for (const auto& c : cases) {
        AlertMemory memory;
        std::vector<bool> alerts;
        for (const auto& [offset, state] : c.runs) {
            const AlertDecision decision = decideAlert(memory, state, t0 + offset);
            alerts.push_back(decision.alert);
            memory = decision.memory;
        }
        EXPECT_EQ(alerts, c.alerts) << c.name;
    }
}
