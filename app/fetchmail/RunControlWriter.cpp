#include "fetchmail/RunControlWriter.h"

#include "fetchmail/FetchmailAccounts.h"
#include "fetchmail/RunControlCheck.h"
#include "shell/TextHelpers.h"
#include "shell/CommandRunner.h"
#include "shell/ResourcePaths.h"
#include "shell/TextHelpers.h"

namespace brevane {

namespace {

QString text(const Row& row, const char* key)
{
    return row.value(QLatin1String(key)).toString();
}

// "aka a b c" from "a, b,c": commas become spaces and runs of spaces collapse.
QString listPart(const QString& keyword, const QString& value)
{
    const QString names = trimSpacesAndTabs(value);
    if (names.isEmpty())
        return {};
    return contractSpaces(keyword + u' ' + QString(names).replace(u',', u' '));
}

} // namespace

QString fetchmailPollLine(const Row& row, const QString& timeout)
{
    const QString via = trimSpacesAndTabs(text(row, "via"));
    const QString protocol = choiceValue(row.value(QStringLiteral("protocol")));
    const bool keep = choiceValue(row.value(QStringLiteral("keep"))) == QLatin1String("YES");
    const bool ssl = choiceValue(row.value(QStringLiteral("ssl"))) == QLatin1String("YES");
    const bool uidl = keep && (protocol == QLatin1String("AUTO") || protocol == QLatin1String("POP3"));
    const QString here = text(row, "here");

    // Built by concatenation: a value holding "%1" must stay as typed.
    const QStringList parts{
        QStringLiteral("poll \"") + trimSpacesAndTabs(text(row, "server")) + u'"',
        via.isEmpty() ? QString() : QStringLiteral("via \"") + via + u'"',
        QStringLiteral("protocol ") + protocol,
        QStringLiteral("timeout ") + timeout,
        uidl ? QStringLiteral("uidl") : QString(),
        listPart(QStringLiteral("aka"), text(row, "aka")),
        listPart(QStringLiteral("localdomains"), text(row, "localdomains")),
        QStringLiteral("user \"") + text(row, "there") + u'"',
        QStringLiteral("password \"") + text(row, "password") + u'"',
        QStringLiteral("is ") + (here == QLatin1String("*") ? here : u'"' + here + u'"'),
        QStringLiteral("here ") + (keep ? QStringLiteral("keep") : QStringLiteral("fetchall")),
        // fetchmail 6.4 tries STARTTLS on its own and gives up when the server
        // has none: an account without SSL turns that off.
        ssl ? QStringLiteral("ssl") : QStringLiteral("sslproto ''"),
    };
    return parts.join(u' ') + u'\n';
}

std::optional<QString> fetchmailRunControl(const Rows& rows, const QString& pollingInterval,
                                           const QString& timeout, QString* error)
{
    if (const QString problem = fetchmailRowsProblem(rows); !problem.isEmpty()) {
        if (error)
            *error = problem;
        return std::nullopt;
    }
    QString runControl = QStringLiteral("set daemon ") + pollingInterval
        + QStringLiteral("\nset logfile /var/log/fetchmail.log\n");
    for (const Row& row : rows)
        if (isCompleteFetchmailRow(row))
            runControl += fetchmailPollLine(row, timeout);
    return runControl;
}

QStringList installFetchmailArguments(const QString& runControlText)
{
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), scriptText(QStringLiteral("install-fetchmailrc.sh")),
            QString(), QLatin1String(workingFolderName), runControlText};
}

QStringList stopFetchmailArguments()
{
    return shellCommand(QStringLiteral("launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.fetchmail.plist"));
}

} // namespace brevane
