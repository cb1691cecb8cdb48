#include "postfix/ServiceHealth.h"

#include "postfix/ServiceRules.h"

#include <QRegularExpression>

namespace brevane::services {

namespace {

constexpr int whyLines = 3;
constexpr qint64 quietMargin = 30; // seconds: a poll's own time
const QString logPrefix = QStringLiteral("LOG ");

QStringList lines(const QString& output)
{
    return output.split(u'\n', Qt::SkipEmptyParts);
}

QStringList lastOf(const QStringList& list, int count)
{
    return list.mid(std::max(0, int(list.size()) - count));
}

} // namespace

QString postfixHealthProbe()
{
    return postfixProbe()
        // Shell built-ins only while the master runs: the refresh stays cheap.
        + QStringLiteral(" && { { read -r pid < /var/spool/postfix/pid/master.pid && read -r comm < /proc/$pid/comm"
                         " && test \"$comm\" = master; } 2>/dev/null"
                         " || { echo DOWN; tail -n 100 /var/log/mail.log 2>/dev/null | grep ' postfix/' | tail -n 3; }; }");
}

QString fetchmailHealthProbe()
{
    // fetchmail's log lines carry no time: the file's age and the polling
    // interval tell whether polls ran quietly since the last failure.
    return fetchmailProbe()
        + QStringLiteral(" && { tail -n 40 /var/log/fetchmail.log 2>/dev/null | sed 's/^/LOG /';"
                         " echo AGE $(( $(date +%s) - $(stat -c %Y /var/log/fetchmail.log 2>/dev/null || date +%s) ));"
                         " sed -n 's/^set daemon \([0-9]*\).*/INTERVAL \1/p'"
                         " /usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc 2>/dev/null; }");
}

ServiceHealth postfixHealth(const QString& probeOutput, bool smtpPortAnswers)
{
    const QStringList all = lines(probeOutput);
    ServiceHealth health;
    health.loaded = all.value(0) == QLatin1String("YES");
    if (!health.loaded)
        return health;
    const bool down = all.value(1) == QLatin1String("DOWN");
    health.up = !down || smtpPortAnswers;
    if (!health.up)
        health.why = all.mid(2).join(u'\n');
    return health;
}

ServiceHealth fetchmailHealth(const QString& probeOutput)
{
    const QStringList all = lines(probeOutput);
    ServiceHealth health;
    // The plain probe's rule: anything printed means the job is listed.
    health.loaded = !all.isEmpty();
    if (!health.loaded)
        return health;
    QStringList log;
    qint64 age = -1;
    qint64 interval = 0;
    for (const QString& line : all) {
        if (line.startsWith(logPrefix))
            log.append(line.mid(logPrefix.size()));
        else if (line.startsWith(QLatin1String("AGE ")))
            age = line.mid(4).toLongLong();
        else if (line.startsWith(QLatin1String("INTERVAL ")))
            interval = line.mid(9).toLongLong();
    }
    // A failing poll logs every time; a quiet log for two rounds means the
    // polls since have not failed (a poll with no mail logs nothing).
    const bool quietSince = interval > 0 && age > 2 * interval + quietMargin;
    health.up = !lastPollFailed(log) || quietSince;
    if (!health.up)
        health.why = lastOf(log, whyLines).join(u'\n');
    return health;
}

bool lastPollFailed(const QStringList& logLines)
{
    static const QRegularExpression status(QStringLiteral(R"(Query status=(\d+))"));
    static const QRegularExpression fresh(QStringLiteral(
        R"(starting fetchmail|reading message|\d+ messages? (?:\(\d+ seen\) )?for |Authorization OK)"));
    for (auto line = logLines.crbegin(); line != logLines.crend(); ++line) {
        const auto match = status.match(*line);
        if (match.hasMatch())
            return match.captured(1).toInt() >= 2;
        if (fresh.match(*line).hasMatch())
            return false;
    }
    return false;
}

QString downToolTip(const QString& service, const QString& why)
{
    const QString reason = why.trimmed().isEmpty() ? QStringLiteral("(nothing logged)") : why.trimmed();
    return QStringLiteral("%1 is loaded but not running. Last lines logged:\n%2").arg(service, reason);
}

} // namespace brevane::services
