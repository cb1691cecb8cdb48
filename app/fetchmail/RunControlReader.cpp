#include "fetchmail/RunControlReader.h"

#include "fetchmail/FetchmailAccounts.h"
#include "shell/TextHelpers.h"

namespace brevane {

namespace {

// "a b  c" -> "a, b, c": how comma lists come back whatever their spacing.
QString commaList(const QString& words)
{
    return contractSpaces(words).split(u' ').join(QLatin1String(", "));
}

// Whether `word` stands on its own in the line, outside double quotes and
// ignoring case. A mere " keep" or " ssl" would also be found in an aka name
// such as "ssl.example.com" or in a quoted password, and turn the option on.
bool hasBareWord(const QString& line, QLatin1String word)
{
    bool quoted = false;
    QString current;
    for (const QChar c : line + u' ') {
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (!c.isSpace())
            current += c;
        else if (current.compare(word, Qt::CaseInsensitive) == 0)
            return true;
        else
            current.clear();
    }
    return false;
}

Row protocolEntry(const QString& word)
{
    for (const Row& entry : protocolChoices())
        if (choiceValue(entry) == word)
            return entry;
    return protocolChoices().at(0);
}

Row yesNoEntry(bool yes)
{
    return yesNoChoices().at(yes ? 0 : 1);
}

std::optional<Row> parsePollLine(const QString& line)
{
    const QString server = subString(line, QStringLiteral("poll "), QStringLiteral(" "));
    if (server.isEmpty())
        return std::nullopt;
    QString aka = commaList(subString(line, QStringLiteral(" aka "), QStringLiteral(" localdomains ")));
    if (aka.isEmpty())
        aka = commaList(subString(line, QStringLiteral(" aka "), QStringLiteral(" user ")));
    return Row{
        {QStringLiteral("server"), server},
        {QStringLiteral("via"), subString(line, QStringLiteral(" via "), QStringLiteral(" "))},
        {QStringLiteral("protocol"), protocolEntry(subString(line, QStringLiteral(" protocol "), QStringLiteral(" ")))},
        {QStringLiteral("aka"), aka},
        {QStringLiteral("localdomains"),
         commaList(subString(line, QStringLiteral(" localdomains "), QStringLiteral(" user ")))},
        {QStringLiteral("there"), subString(line, QStringLiteral(" user "), QStringLiteral(" "))},
        {QStringLiteral("password"), subString(line, QStringLiteral(" password "), QStringLiteral(" "))},
        {QStringLiteral("here"), subString(line, QStringLiteral(" is "), QStringLiteral(" "))},
        {QStringLiteral("keep"), yesNoEntry(hasBareWord(line, QLatin1String("keep")))},
        {QStringLiteral("ssl"), yesNoEntry(hasBareWord(line, QLatin1String("ssl")))},
    };
}

} // namespace

Rows parseFetchmailRunControl(const QString& text)
{
    QStringList lines = text.split(u'\n');
    lines.removeLast();
    Rows rows;
    for (const QString& line : lines)
        if (auto row = parsePollLine(line))
            rows.append(*row);
    return rows;
}

Rows readFetchmailAccounts(const CommandRunner& run, bool fileExists)
{
    if (!fileExists)
        return {};
    return parseFetchmailRunControl(run(shellCommand(QStringLiteral("cat ") + QLatin1String(fetchmailRunControlPath))));
}

} // namespace brevane
