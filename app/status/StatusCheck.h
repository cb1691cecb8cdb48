#pragma once

#include <QList>
#include <QString>
#include <chrono>
#include <functional>

// One health check of the server, as the Status tab and a job without a
// window would both run it: plain data in, plain data out.
namespace brevane::status {

enum class State { Green, Yellow, Red };

/// What a check saw, in the administrator's words.
struct Result {
    State state = State::Red;
    QString found;
    QString expected;
    QString whatToDo; ///< empty when green
};

struct Check {
    QString id; ///< stable, for remembering alerts: "certificates"
    QString title; ///< "Certificates"
    std::chrono::milliseconds timeLimit { 10000 };
    /// Runs on a thread of its own and may outlive the call that started it
    /// when it overruns its limit: it must own everything it reads.
    std::function<Result()> run;
};

struct Outcome {
    QString id;
    QString title;
    Result result;
};

/// Runs every check at once, each on its own thread, and answers in the
/// checks' order once each has answered or run out of its time. A check
/// that overruns is red and left to end by itself; one that throws is red.
QList<Outcome> runChecks(const QList<Check>& checks);

/// "OK", "Warning" or "Failing".
QString stateText(State state);

} // namespace brevane::status
