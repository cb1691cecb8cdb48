#include "filtering/RspamdLog.h"

#include "maintenance/LogLines.h"
#include "shell/ResourcePaths.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace brevane::filtering {

namespace {

    const QByteArray scanMarker = QByteArrayLiteral("; rspamd_task_write_log: id: <");

    qsizetype occurrences(QByteArrayView text, QByteArrayView word)
    {
        qsizetype count = 0;
        for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + word.size()))
            ++count;
        return count;
    }

    bool isSymbolCharacter(char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    }

    // "NAME(4.00){opts;},NAME(0.00){}]" from `at` on; false when the list
    // does not read as rspamd writes it. Options are skipped: they hold
    // the message's own words (file names, URLs).
    bool readSymbols(QByteArrayView text, qsizetype at, QList<RspamdSymbol>& symbols)
    {
        while (at < text.size() && text[at] != ']') {
            const qsizetype nameStart = at;
            while (at < text.size() && isSymbolCharacter(text[at]))
                ++at;
            const qsizetype open = at, close = text.indexOf(')', at);
            if (open == nameStart || open >= text.size() || text[open] != '(' || close < 0)
                return false;
            bool number = false;
            const double score = text.sliced(open + 1, close - open - 1).toDouble(&number);
            if (!number)
                return false;
            symbols.append({ QString::fromLatin1(text.sliced(nameStart, open - nameStart)), score });
            at = close + 1;
            if (at < text.size() && text[at] == '{') {
                const qsizetype end = text.indexOf('}', at);
                if (end < 0)
                    return false;
                at = end + 1;
            }
            if (at < text.size() && text[at] == ',')
                ++at;
        }
        return at < text.size();
    }

    // "(default: T (add header): [3.90/15.00] [SYMBOLS])" at `at`.
    bool readResult(QByteArrayView text, qsizetype at, RspamdVerdict& verdict)
    {
        static const QByteArray opening = QByteArrayLiteral("(default: ");
        at += opening.size() + 1;
        if (!text.sliced(at).startsWith(" ("))
            return false;
        const qsizetype actionEnd = text.indexOf("): [", at);
        const qsizetype slash = text.indexOf('/', actionEnd);
        const qsizetype scoresEnd = text.indexOf("] [", slash);
        if (actionEnd < 0 || slash < 0 || scoresEnd < 0)
            return false;
        verdict.action = QString::fromLatin1(text.sliced(at + 2, actionEnd - at - 2));
        bool score = false, reject = false;
        verdict.score = text.sliced(actionEnd + 4, slash - actionEnd - 4).toDouble(&score);
        verdict.rejectScore = text.sliced(slash + 1, scoresEnd - slash - 1).toDouble(&reject);
        return score && reject && !verdict.action.isEmpty() && verdict.action.size() < 20
            && readSymbols(text, scoresEnd + 3, verdict.symbols);
    }

    // rspamd lists symbols by weight, the heaviest first. Options are the
    // message's own words and may spell further symbols: one that breaks
    // the order, such as a heavy one among the weightless, is not rspamd's.
    bool byWeight(const QList<RspamdSymbol>& symbols)
    {
        for (qsizetype i = 1; i < symbols.size(); ++i)
            if (std::abs(symbols.at(i).score) > std::abs(symbols.at(i - 1).score))
                return false;
        return true;
    }

    QString scoreText(double score)
    {
        return QString::number(score, 'f', 2);
    }

} // namespace

std::optional<RspamdVerdict> rspamdVerdict(QByteArrayView line, QByteArrayView queueId)
{
    const qsizetype scan = line.indexOf(scanMarker);
    if (scan < 0 || !looksLikeQueueId(queueId))
        return std::nullopt;
    const QByteArray qid = ", qid: <" + queueId.toByteArray() + ">, ";
    const qsizetype at = line.indexOf(qid, scan);
    if (at < 0)
        return std::nullopt;
    RspamdVerdict verdict;
    if (line.size() >= 19 && line[4] == '-' && line[10] == ' ')
        verdict.time = QString::fromLatin1(line.first(19));
    // Only the message ID comes before the queue ID, and only the sender
    // between it and the result: each of rspamd's markers is there once.
    const QByteArrayView rest = line.sliced(scan);
    const qsizetype result = rest.indexOf("(default: ");
    verdict.readable = occurrences(rest, ", qid: <") == 1 && occurrences(rest, "(default: ") == 1
        && readResult(rest, result, verdict) && byWeight(verdict.symbols);
    if (!verdict.readable)
        return RspamdVerdict { verdict.time };
    return verdict;
}

QList<RspamdVerdict> rspamdVerdicts(QByteArrayView log, QByteArrayView queueId)
{
    QList<RspamdVerdict> verdicts;
    for (qsizetype start = 0; start < log.size();) {
        qsizetype end = log.indexOf('\n', start);
        if (end < 0)
            end = log.size();
        if (auto verdict = rspamdVerdict(log.sliced(start, end - start), queueId))
            verdicts.append(*verdict);
        start = end + 1;
    }
    return verdicts;
}

std::optional<QStringList> rspamdLinesCommand(const QString& queueId)
{
    if (!looksLikeQueueId(queueId.toLatin1()))
        return std::nullopt;
    return QStringList { QStringLiteral("/bin/sh"), QStringLiteral("-c"),
        scriptText(QStringLiteral("read-rspamd-lines.sh")), QStringLiteral("sh"), queueId };
}

QByteArray rspamdLinesAbout(const QString& path, const QString& queueId, const PrivilegedRun& run)
{
    const auto command = rspamdLinesCommand(queueId);
    if (!command)
        return {};
    const QByteArray wanted = "qid: <" + queueId.toLatin1() + ">,";
    QFile file(path);
    if (QFileInfo(path).isReadable() && file.open(QIODevice::ReadOnly)) {
        QByteArray lines;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine(1 << 16);
            if (line.contains(wanted))
                lines += line;
        }
        return lines;
    }
    if (path != QLatin1String(rspamdLogPath) || !run)
        return {};
    const QString reply = run(*command).trimmed();
    auto decoded = QByteArray::fromBase64Encoding(reply.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? std::move(*decoded) : QByteArray();
}

QString verdictText(const RspamdVerdict& verdict)
{
    const QString head = QStringLiteral("rspamd %1: ").arg(verdict.time);
    if (!verdict.readable)
        return head + QStringLiteral("scanned this message; its line is not read, as the sender's own words in it "
                                     "look like rspamd's");
    QStringList scored, others;
    for (const RspamdSymbol& symbol : verdict.symbols) {
        if (symbol.score != 0)
            scored << symbol.name + u' ' + scoreText(symbol.score);
        else
            others << symbol.name;
    }
    QString text = head
        + QStringLiteral("%1, score %2 (reject at %3)").arg(verdict.action, scoreText(verdict.score),
            scoreText(verdict.rejectScore));
    if (!scored.isEmpty())
        text += QStringLiteral(": ") + scored.join(QStringLiteral(", "));
    if (!others.isEmpty())
        text += QStringLiteral("; also ") + others.join(QStringLiteral(", "));
    return text;
}

} // namespace brevane::filtering
