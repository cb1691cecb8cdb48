#include "status/StatusState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace brevane::status {

namespace {

    // Far above what the checks write, far below what could hurt a reader.
    constexpr qsizetype maxBytes = 1 << 20;
    constexpr qsizetype maxChecks = 64;
    constexpr qsizetype maxText = 8192;
    constexpr double maxSeconds = 1e11; // year 5138

    std::optional<State> stateOf(const QString& word)
    {
        for (State state : { State::Green, State::Yellow, State::Red })
            if (word == stateWord(state))
                return state;
        return std::nullopt;
    }

    // Strings as strings of bounded length; anything else is damage.
    bool text(const QJsonObject& object, const char* key, QString& into)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isString() || value.toString().size() > maxText)
            return false;
        into = value.toString();
        return true;
    }

    bool seconds(const QJsonObject& object, const char* key, qint64& into)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isDouble() || value.toDouble() < 0 || value.toDouble() > maxSeconds)
            return false;
        into = qint64(value.toDouble());
        return true;
    }

    std::optional<CheckRecord> readCheck(const QJsonValue& value)
    {
        // "queue", "outside-port-25", "dns:" and a mail domain.
        static const QRegularExpression idPattern(QStringLiteral("^[a-z0-9][a-z0-9.:-]{0,259}$"));
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        CheckRecord record;
        QString state;
        QString told;
        Result& result = record.outcome.result;
        if (!text(object, "id", record.outcome.id) || !idPattern.match(record.outcome.id).hasMatch()
            || !text(object, "title", record.outcome.title) || !text(object, "state", state)
            || !text(object, "found", result.found) || !text(object, "expected", result.expected)
            || !text(object, "whatToDo", result.whatToDo) || !text(object, "mailed", told)
            || !seconds(object, "mailedAt", record.mailed.toldAt))
            return std::nullopt;
        const auto now = stateOf(state);
        const auto mailed = stateOf(told);
        if (!now || !mailed)
            return std::nullopt;
        result.state = *now;
        record.mailed.told = *mailed;
        return record;
    }

    StateRead damaged(const QString& why)
    {
        return { std::nullopt, QStringLiteral("The watch job's state file is damaged (%1).").arg(why) };
    }

} // namespace

QString stateWord(State state)
{
    switch (state) {
    case State::Green:
        return QStringLiteral("green");
    case State::Yellow:
        return QStringLiteral("yellow");
    case State::Red:
        return QStringLiteral("red");
    }
    return {};
}

QByteArray writeJobState(const JobState& state)
{
    QJsonArray checks;
    for (const CheckRecord& record : state.checks) {
        const Result& result = record.outcome.result;
        checks.append(QJsonObject { { QStringLiteral("id"), record.outcome.id },
            { QStringLiteral("title"), record.outcome.title }, { QStringLiteral("state"), stateWord(result.state) },
            { QStringLiteral("found"), result.found.left(maxText) },
            { QStringLiteral("expected"), result.expected.left(maxText) },
            { QStringLiteral("whatToDo"), result.whatToDo.left(maxText) },
            { QStringLiteral("mailed"), stateWord(record.mailed.told) },
            { QStringLiteral("mailedAt"), double(record.mailed.toldAt) } });
    }
    const QJsonObject top { { QStringLiteral("checkedAt"), double(state.checkedAt) },
        { QStringLiteral("checks"), checks } };
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

StateRead readJobState(const QByteArray& bytes)
{
    if (bytes.size() > maxBytes)
        return damaged(QStringLiteral("larger than 1 MB"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return damaged(QStringLiteral("not a JSON object"));
    const QJsonObject top = document.object();
    JobState state;
    if (!seconds(top, "checkedAt", state.checkedAt))
        return damaged(QStringLiteral("no time of the run"));
    const QJsonValue checks = top.value(QLatin1String("checks"));
    if (!checks.isArray() || checks.toArray().size() > maxChecks)
        return damaged(QStringLiteral("no list of checks"));
    for (const QJsonValue& value : checks.toArray()) {
        const auto record = readCheck(value);
        if (!record)
            return damaged(QStringLiteral("check %1 unreadable").arg(state.checks.size() + 1));
        state.checks.append(*record);
    }
    return { state, {} };
}

JobRound jobRound(const std::optional<JobState>& previous, const QList<Outcome>& outcomes, qint64 nowSeconds)
{
    JobRound round;
    round.next.checkedAt = nowSeconds;
    for (const Outcome& outcome : outcomes) {
        AlertMemory memory;
        if (previous)
            for (const CheckRecord& record : previous->checks)
                if (record.outcome.id == outcome.id)
                    memory = record.mailed;
        const AlertDecision decision = decideAlert(memory, outcome.result.state, nowSeconds);
        if (decision.alert)
            round.alerts.append({ outcome, memory, outcome.result.state == State::Green });
        round.next.checks.append({ outcome, decision.memory });
    }
    return round;
}

void keepUnsent(JobState& state, const Alert& alert)
{
    for (CheckRecord& record : state.checks)
        if (record.outcome.id == alert.outcome.id)
            record.mailed = alert.before;
}

} // namespace brevane::status
