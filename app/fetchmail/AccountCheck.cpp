#include "fetchmail/AccountCheck.h"

#include "fetchmail/FetchmailAccounts.h"
#include "fetchmail/RunControlCheck.h"
#include "fetchmail/RunControlWriter.h"
#include "shell/ResourcePaths.h"

#include <QRegularExpression>

namespace brevane {

namespace {

// fetchmail's own exit status, as the script reports it (or fetchmail's
// closing line when the script's is missing); -1 when neither is there.
int exitStatus(const QString& output)
{
    static const QRegularExpression script(QStringLiteral("^fetchmail status: (\\d+)$"),
                                           QRegularExpression::MultilineOption);
    static const QRegularExpression closing(QStringLiteral("normal termination, status (\\d+)$"),
                                            QRegularExpression::MultilineOption);
    for (const QRegularExpression* pattern : {&script, &closing}) {
        QRegularExpressionMatch last;
        for (auto it = pattern->globalMatch(output); it.hasNext();)
            last = it.next();
        if (last.hasMatch())
            return last.captured(1).toInt();
    }
    return -1;
}

QString lastCapture(const QString& output, const QRegularExpression& pattern)
{
    QString found;
    for (auto it = pattern.globalMatch(output); it.hasNext();)
        found = it.next().captured(1).trimmed();
    return found;
}

// The server's last refusal: "-ERR [AUTH] Authentication failed." in POP3,
// "A0001 NO [AUTHENTICATIONFAILED] Authentication failed." in IMAP.
QString serverRefusal(const QString& output)
{
    static const QRegularExpression refusal(QStringLiteral("(?:POP3|IMAP)< (?:-ERR|[A-Z]\\d+ NO) (.*)$"),
                                            QRegularExpression::MultilineOption);
    return lastCapture(output, refusal);
}

// fetchmail's last word on what went wrong, without the protocol dialogue
// and the lines every poll prints.
QString lastComplaint(const QString& output)
{
    static const QRegularExpression routine(QStringLiteral(
        "^(?:(?:POP3|IMAP)[<>] |fetchmail status: |.*(?:querying .* poll (?:started|completed)|normal termination"
        "|For help, see|Running as root|--check mode enabled))"));
    const QStringList lines = output.split(u'\n', Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        QString line = it->trimmed();
        if (line.startsWith(QLatin1String("fetchmail: ")))
            line.remove(0, 11);
        if (!line.isEmpty() && !routine.match(line).hasMatch())
            return line;
    }
    return {};
}

QString unreachableReason(const QString& output)
{
    static const QRegularExpression connection(QStringLiteral("^fetchmail: connection to .* failed: (.*?)\\.?$"),
                                               QRegularExpression::MultilineOption);
    // "couldn't find canonical DNS name of HOST (HOST): REASON"
    static const QRegularExpression name(QStringLiteral("couldn't find canonical DNS name of (\\S+ )\\(.*\\): (.*)$"),
                                         QRegularExpression::MultilineOption);
    if (const QRegularExpressionMatch match = name.match(output); match.hasMatch())
        return match.captured(1).trimmed() + QLatin1String(": ") + match.captured(2).trimmed();
    static const QRegularExpression timeout(QStringLiteral("(timeout after \\d+ seconds.*?)\\.?$"),
                                            QRegularExpression::MultilineOption);
    for (const QRegularExpression* pattern : {&connection, &timeout})
        if (const QString reason = lastCapture(output, *pattern); !reason.isEmpty())
            return reason;
    return lastComplaint(output);
}

QString waitingCount(const QString& output)
{
    static const QRegularExpression count(QStringLiteral("^(?:fetchmail: )?(\\d+) messages? (?:\\((\\d+) seen\\) )?for "),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = count.match(output);
    if (!match.hasMatch())
        return QStringLiteral("Mail waiting");
    const int messages = match.captured(1).toInt();
    QString text = QStringLiteral("%1 %2 waiting").arg(messages).arg(messages == 1 ? "message" : "messages");
    if (!match.captured(2).isEmpty())
        text += QStringLiteral(" (%1 seen)").arg(match.captured(2));
    return text;
}

QString withDetail(const QString& heading, const QString& detail)
{
    return detail.isEmpty() ? heading : heading + QLatin1String(": ") + detail;
}

} // namespace

QString accountCheckRefusal(const Row& row)
{
    if (!isCompleteFetchmailRow(row))
        return QStringLiteral("Not tested: fill in the server, remote user, password and local user");
    if (const QString problem = fetchmailRowProblem(row); !problem.isEmpty())
        return QStringLiteral("Not tested: ") + problem;
    return {};
}

int testedRowIndex(const Rows& rows, const Row& tested)
{
    const auto withoutAnswer = [](Row row) {
        row.remove(QStringLiteral("checkResult"));
        return row;
    };
    const Row account = withoutAnswer(tested);
    for (int index = 0; index < rows.size(); ++index)
        if (withoutAnswer(rows.at(index)) == account)
            return index;
    return -1;
}

QStringList checkFetchmailAccountArguments(const Row& row, const QString& timeout)
{
    QString line = fetchmailPollLine(row, timeout);
    line.chop(1);
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), scriptText(QStringLiteral("check-fetchmail-account.sh")),
            QString(), line};
}

QString fetchmailCheckSummary(const QString& output)
{
    // Exit statuses from fetchmail(1): 0 mail waiting, 1 none, 2 socket or
    // TLS trouble, 3 authentication, 11 name lookup; 124 and 137 (killed)
    // from timeout(1).
    switch (const int status = exitStatus(output)) {
    case 0:
        return waitingCount(output);
    case 1:
        return QStringLiteral("No mail waiting");
    case 3:
        return withDetail(QStringLiteral("Authentication failed"),
                          serverRefusal(output).isEmpty() ? lastComplaint(output) : serverRefusal(output));
    case 2:
    case 11:
        if (output.contains(QLatin1String("TLS failed")) || output.contains(QLatin1String("SSL connection failed"))
            || output.contains(QLatin1String("certificate verification")))
            return withDetail(QStringLiteral("TLS failed"),
                              serverRefusal(output).isEmpty() ? lastComplaint(output) : serverRefusal(output));
        return withDetail(QStringLiteral("Server not reachable"), unreachableReason(output));
    case 124:
    case 137:
        return QStringLiteral("No complete answer within 30 seconds");
    case -1:
        return output.trimmed().isEmpty() ? QStringLiteral("fetchmail did not run")
                                          : withDetail(QStringLiteral("fetchmail did not finish"), lastComplaint(output));
    default:
        return withDetail(QStringLiteral("fetchmail failed (status %1)").arg(status), lastComplaint(output));
    }
}

} // namespace brevane
