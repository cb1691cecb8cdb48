#include "fetchmail/RunControlReader.h"

#include "fetchmail/FetchmailAccounts.h"
#include "shell/TextHelpers.h"

#include <algorithm>

namespace brevane {

namespace {

// "a b  c" -> "a, b, c": how comma lists come back whatever their spacing.
QString commaList(const QString& words)
{
    return contractSpaces(words).split(u' ').join(QLatin1String(", "));
}

// A poll line as fetchmail reads it: words apart at blanks, and a double-quoted
// string one word whatever blanks it holds.
struct Word {
    QString text;
    bool quoted = false;
};

QList<Word> splitWords(const QString& line)
{
    QList<Word> words;
    Word current;
    bool inQuotes = false;
    const auto flush = [&] {
        if (current.quoted || !current.text.isEmpty())
            words.append(current);
        current = Word{};
    };
    for (const QChar c : line) {
        if (c == u'"') {
            // Ends the bare word before an opening quote, or the quoted one.
            flush();
            inQuotes = !inQuotes;
            current.quoted = inQuotes;
        } else if (inQuotes || !c.isSpace()) {
            current.text += c;
        } else {
            flush();
        }
    }
    flush();
    return words;
}

bool isKeyword(const Word& word, QLatin1String keyword)
{
    return !word.quoted && word.text.compare(keyword, Qt::CaseInsensitive) == 0;
}

// The word after the first `keyword` outside quotes, its quotes taken off: a
// password or user name with blanks comes back whole, so the next write does
// not cut it short.
QString valueAfter(const QList<Word>& words, QLatin1String keyword)
{
    for (qsizetype i = 0; i + 1 < words.size(); ++i)
        if (isKeyword(words.at(i), keyword))
            return words.at(i + 1).text;
    return {};
}

// Whether `keyword` stands on its own outside quotes: a mere " keep" or " ssl"
// is also found in an aka name such as "ssl.example.com" or in a password.
bool hasKeyword(const QList<Word>& words, QLatin1String keyword)
{
    return std::any_of(words.cbegin(), words.cend(), [keyword](const Word& word) { return isKeyword(word, keyword); });
}

// The words from the first `from` outside quotes up to the next `to` outside
// quotes, joined by blanks; "" when either is missing. A password holding
// " aka " is one quoted word and names no aka list.
QString wordsBetween(const QList<Word>& words, QLatin1String from, QLatin1String to)
{
    const auto start = std::find_if(words.cbegin(), words.cend(), [from](const Word& w) { return isKeyword(w, from); });
    if (start == words.cend())
        return {};
    QStringList between;
    for (auto it = start + 1; it != words.cend(); ++it) {
        if (isKeyword(*it, to))
            return between.join(u' ');
        between.append(it->text);
    }
    return {};
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
    const QList<Word> words = splitWords(line);
    const QString server = valueAfter(words, QLatin1String("poll"));
    if (server.isEmpty())
        return std::nullopt;
    QString aka = commaList(wordsBetween(words, QLatin1String("aka"), QLatin1String("localdomains")));
    if (aka.isEmpty())
        aka = commaList(wordsBetween(words, QLatin1String("aka"), QLatin1String("user")));
    return Row{
        {QStringLiteral("server"), server},
        {QStringLiteral("via"), valueAfter(words, QLatin1String("via"))},
        {QStringLiteral("protocol"), protocolEntry(valueAfter(words, QLatin1String("protocol")))},
        {QStringLiteral("aka"), aka},
        {QStringLiteral("localdomains"),
         commaList(wordsBetween(words, QLatin1String("localdomains"), QLatin1String("user")))},
        {QStringLiteral("there"), valueAfter(words, QLatin1String("user"))},
        {QStringLiteral("password"), valueAfter(words, QLatin1String("password"))},
        {QStringLiteral("here"), valueAfter(words, QLatin1String("is"))},
        {QStringLiteral("keep"), yesNoEntry(hasKeyword(words, QLatin1String("keep")))},
        {QStringLiteral("ssl"), yesNoEntry(hasKeyword(words, QLatin1String("ssl")))},
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
