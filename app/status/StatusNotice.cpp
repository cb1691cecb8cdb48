#include "status/StatusNotice.h"

namespace brevane::status {

NoticeRound noticeFor(const QHash<QString, AlertMemory>& memory, const QList<Outcome>& outcomes, qint64 nowSeconds)
{
    NoticeRound round;
    QStringList titles;
    QStringList lines;
    Notice notice;
    for (const Outcome& outcome : outcomes) {
        // Yellow is no news worth a pop-up: it counts as green here.
        const State state = outcome.result.state == State::Red ? State::Red : State::Green;
        const AlertDecision decision = decideAlert(memory.value(outcome.id), state, nowSeconds);
        round.memory.insert(outcome.id, decision.memory);
        if (!decision.alert || state != State::Red)
            continue;
        notice.ids.append(outcome.id);
        titles.append(outcome.title);
        // Found texts carry DNS answers and log lines: anyone's words.
        lines.append(QStringLiteral("%1: %2").arg(outcome.title, outcome.result.found).toHtmlEscaped());
    }
    if (notice.ids.isEmpty())
        return round;
    notice.summary = titles.size() == 1 ? QStringLiteral("Brevane: %1 failing").arg(titles.first())
                                        : QStringLiteral("Brevane: %1 checks failing").arg(titles.size());
    notice.body = lines.join(u'\n');
    round.notice = notice;
    return round;
}

} // namespace brevane::status
