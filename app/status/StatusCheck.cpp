#include "status/StatusCheck.h"

#include <exception>
#include <future>
#include <memory>
#include <thread>

namespace brevane::status {

namespace {

    Result overran(std::chrono::milliseconds limit)
    {
        const QString seconds = QString::number(double(limit.count()) / 1000.0);
        return { State::Red, QStringLiteral("No answer within %1 s.").arg(seconds),
            QStringLiteral("An answer within %1 s.").arg(seconds),
            QStringLiteral("Something this check waits for hangs: see whether the disk or the mail system "
                           "responds, then check again.") };
    }

    Result failed(const QString& why)
    {
        return { State::Red, QStringLiteral("The check itself failed: %1").arg(why),
            QStringLiteral("A check that runs."), QStringLiteral("Check again; if it keeps failing, report it.") };
    }

    Result guarded(const std::function<Result()>& run)
    {
        try {
            return run ? run() : failed(QStringLiteral("it has nothing to run."));
        } catch (const std::exception& error) {
            return failed(QString::fromLocal8Bit(error.what()));
        } catch (...) {
            return failed(QStringLiteral("unknown error."));
        }
    }

} // namespace

QList<Outcome> runChecks(const QList<Check>& checks)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    // A packaged task's future does not wait for its thread when dropped, so
    // a hanging check cannot hold up the others or the caller.
    std::vector<std::future<Result>> answers;
    for (const Check& check : checks) {
        auto task = std::make_shared<std::packaged_task<Result()>>([run = check.run] { return guarded(run); });
        answers.push_back(task->get_future());
        std::thread([task] { (*task)(); }).detach();
    }
    QList<Outcome> outcomes;
    for (qsizetype i = 0; i < checks.size(); ++i) {
        const Check& check = checks.at(i);
        std::future<Result>& answer = answers.at(std::size_t(i));
        const bool inTime = answer.wait_until(start + check.timeLimit) == std::future_status::ready;
        outcomes.append({ check.id, check.title, inTime ? answer.get() : overran(check.timeLimit) });
    }
    return outcomes;
}

QString stateText(State state)
{
    switch (state) {
    case State::Green:
        return QStringLiteral("OK");
    case State::Yellow:
        return QStringLiteral("Warning");
    case State::Red:
        return QStringLiteral("Failing");
    }
    return {};
}

} // namespace brevane::status
