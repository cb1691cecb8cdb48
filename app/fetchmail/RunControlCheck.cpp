#include "fetchmail/RunControlCheck.h"

#include "fetchmail/FetchmailAccounts.h"
#include "shell/TextHelpers.h"

#include <QRegularExpression>
#include <QSet>

namespace brevane {

namespace {

// Every word fetchmail's run-control lexer turns into something other than
// a plain name. Outside quotes such a word in an aka or localdomains list
// would be read as a directive (`mda`, `preconnect`, `is`...).
const QSet<QString>& runControlKeywords()
{
    static const QSet<QString> words{
        "set", "logfile", "idfile", "pidfile", "daemon", "syslog", "invisible", "showdots", "postmaster",
        "bouncemail", "spambounce", "softbounce", "warnings", "tracepolls", "defaults", "server", "poll", "skip",
        "via", "aka", "local", "localdomains", "proto", "protocol", "service", "port", "interval", "preauth",
        "preauthenticate", "auth", "authenticate", "any", "gssapi", "kerberos4", "kerberos_v4", "kerberos5",
        "kerberos_v5", "kerberos", "ssh", "implicit", "external", "otp", "opie", "cram", "cram-md5", "msn",
        "ntlm", "password", "timeout", "idletimeout", "envelope", "qvirtual", "principal", "esmtpname",
        "esmtppassword", "bad-header", "accept", "reject", "user", "username", "pass", "folder", "folders",
        "smtp", "smtphost", "fetchdomains", "smtpaddress", "smtpname", "antispam", "mda", "bsmtp", "lmtp", "pre",
        "preconnect", "post", "postconnect", "interface", "monitor", "plugin", "plugout", "batchlimit",
        "fetchlimit", "fetchsizelimit", "fastuidl", "expunge", "properties", "is", "here", "there", "to", "no",
        "nobouncemail", "nouidl", "nocheckalias", "nodns", "noenvelope", "nokeep", "noflush", "nolimitflush",
        "nofetchall", "norewrite", "noforcecr", "nostripcr", "nopass8", "nopass8bits", "nodropstatus",
        "nodropdelivered", "nomimedec", "nomimedecode", "nospambounce", "noidle", "noforceidle", "keep", "flush",
        "limitflush", "fetchall", "rewrite", "forcecr", "stripcr", "pass8", "pass8bits", "dropstatus",
        "dropdelivered", "mimedec", "mimedecode", "idle", "forceidle", "dns", "uidl", "ssl", "sslkey", "sslcert",
        "sslproto", "sslcertck", "sslcertfile", "sslcertpath", "sslcommonname", "sslfingerprint", "checkalias",
        "limit", "with", "and", "has", "wants", "options", "auto", "pop2", "sdps", "pop3", "imap", "apop", "rpop",
        "etrn", "odmr", "kpop"};
    return words;
}

bool isHostName(const QString& name)
{
    static const QRegularExpression shape(QStringLiteral("^[A-Za-z0-9.-]+$"));
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+$"));
    return shape.match(name).hasMatch() && !number.match(name).hasMatch()
        && !runControlKeywords().contains(name.toLower());
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == QChar(0x2028) || c == QChar(0x2029);
}

// What a value written between double quotes must not hold, or "".
QString quotedValueProblem(const QString& value)
{
    if (value.contains(u'"'))
        return QStringLiteral("holds a double quote");
    if (value.contains(u'\\'))
        return QStringLiteral("holds a backslash");
    if (std::any_of(value.cbegin(), value.cend(), isLineBreak))
        return QStringLiteral("holds a line break");
    // Other control characters (an escape in a password) stay in their
    // string; only a NUL could not travel, for it would end the argument
    // that carries the whole file.
    if (value.contains(QChar(0)))
        return QStringLiteral("holds a NUL character");
    return {};
}

QString listProblem(const QString& value)
{
    if (trimSpacesAndTabs(value).isEmpty())
        return {};
    QString offender;
    if (isHostNameList(value, &offender))
        return {};
    if (offender.isEmpty())
        return QStringLiteral("names no host");
    return QStringLiteral("holds \"%1\", which is not a host name").arg(offender.simplified());
}

QString choiceProblem(const QVariant& entry, const Rows& choices)
{
    const QString word = choiceValue(entry);
    for (const Row& choice : choices)
        if (choiceValue(choice) == word)
            return {};
    QStringList words;
    for (const Row& choice : choices)
        words.append(choiceValue(choice));
    if (word.isEmpty())
        return QStringLiteral("is missing (it must be one of %1)").arg(words.join(QLatin1String(", ")));
    return QStringLiteral("\"%1\" is not one of %2").arg(word.simplified(), words.join(QLatin1String(", ")));
}

QString rowProblem(const Row& row)
{
    auto text = [&row](const char* key) { return row.value(QLatin1String(key)).toString(); };
    const struct {
        const char* label;
        QString value;
    } quoted[] = {
        {"server", trimSpacesAndTabs(text("server"))}, {"via", trimSpacesAndTabs(text("via"))},
        {"remote user", text("there")},               {"password", text("password")},
        {"local user", text("here")},
    };
    for (const auto& field : quoted)
        if (const QString why = quotedValueProblem(field.value); !why.isEmpty())
            return QStringLiteral("the %1 %2").arg(QLatin1String(field.label), why);
    if (const QString why = listProblem(text("aka")); !why.isEmpty())
        return QStringLiteral("the aka list ") + why;
    if (const QString why = listProblem(text("localdomains")); !why.isEmpty())
        return QStringLiteral("the local domains list ") + why;
    if (const QString why = choiceProblem(row.value(QStringLiteral("protocol")), protocolChoices());
        !why.isEmpty())
        return QStringLiteral("the protocol ") + why;
    // keep and ssl add no words of their own: any value but "YES" is written
    // as fetchall and as no ssl.
    return {};
}

} // namespace

bool isHostNameList(const QString& text, QString* offender)
{
    static const QRegularExpression separators(QStringLiteral("[, \\t]+"));
    const QStringList names = text.split(separators, Qt::SkipEmptyParts);
    if (offender)
        offender->clear();
    if (names.isEmpty())
        return false;
    for (const QString& name : names) {
        if (!isHostName(name)) {
            if (offender)
                *offender = name;
            return false;
        }
    }
    return true;
}

QString fetchmailRowsProblem(const Rows& rows)
{
    for (qsizetype at = 0; at < rows.size(); ++at) {
        const Row& row = rows.at(at);
        if (!isCompleteFetchmailRow(row))
            continue;
        if (const QString why = rowProblem(row); !why.isEmpty()) {
            const QString server = trimSpacesAndTabs(row.value(QStringLiteral("server")).toString()).simplified();
            return QStringLiteral("Row %1 (%2): %3. Nothing was written.").arg(QString::number(at + 1), server, why);
        }
    }
    return {};
}

QString fetchmailRowProblem(const Row& row)
{
    return rowProblem(row);
}

} // namespace brevane
