#include "shell/TextHelpers.h"

#include <sys/stat.h>

namespace brevane {

namespace {

QString trimQuotesAndSpaces(const QString& text)
{
    return trimCharacters(text, [](QChar c) { return c == u'"' || c == u' '; });
}

constexpr char hexChars[] = "0123456789ABCDEF";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isHexWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

QString trimCharacters(const QString& text, bool (*isTrimmed)(QChar))
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isTrimmed(text.at(start)))
        ++start;
    while (end > start && isTrimmed(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

QString trimSpacesAndTabs(const QString& text)
{
    return trimCharacters(text, [](QChar c) { return c == u' ' || c == u'\t'; });
}

QString subString(const QString& text, const QString& fromToken, const QString& toToken)
{
    const qsizetype from = text.indexOf(fromToken, 0, Qt::CaseInsensitive);
    if (from < 0)
        return {};
    if (toToken == QLatin1String("$"))
        return fromToken;
    const qsizetype valueStart = from + fromToken.size();
    const qsizetype to = text.indexOf(toToken, valueStart, Qt::CaseInsensitive);
    if (to < 0)
        return {};
    return trimQuotesAndSpaces(text.mid(valueStart, to - valueStart));
}

// One pass: a queue listing pads every recipient line with forty spaces,
// which halving "  " again and again walks and copies six times over.
QString contractSpaces(const QString& text)
{
    if (!text.contains(QLatin1String("  ")))
        return text;
    QString result(text.size(), Qt::Uninitialized);
    QChar* out = result.data();
    QChar previous;
    for (const QChar c : text) {
        if (c != u' ' || previous != u' ')
            *out++ = c;
        previous = c;
    }
    result.truncate(out - result.constData());
    return result;
}

QString convertLineFeeds(const QString& text)
{
    QString result = text;
    result.replace(QChar(u'\n'), QChar(u'\r'));
    return result;
}

QString plainToolTip(const QString& text)
{
    if (text.isEmpty())
        return {};
    return QLatin1String("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QLatin1String("</p>");
}

bool checkIfUnixPathExists(const QString& path)
{
    const QByteArray native = path.toUtf8();
    if (native.isEmpty() || native.contains('\0'))
        return false;
    struct stat status {};
    return ::stat(native.constData(), &status) == 0;
}

QString hexadecimalRepresentation(const QByteArray& bytes)
{
    QString text(bytes.size() * 2, Qt::Uninitialized);
    qsizetype at = 0;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text[at++] = QLatin1Char(hexChars[value / 16]);
        text[at++] = QLatin1Char(hexChars[value % 16]);
    }
    return text;
}

QByteArray dataWithHexadecimalRepresentation(const QString& text)
{
    const QByteArray input = text.toLatin1();
    QByteArray output;
    output.reserve(input.size() / 2 + 1);
    bool halfPending = false;
    int high = 0;
    for (const char c : input) {
        if (isHexWhiteSpace(c))
            continue;
        const int value = hexValue(c);
        if (value < 0)
            return {};
        if (!halfPending) {
            high = value * 16;
            halfPending = true;
        } else {
            output.append(static_cast<char>(high + value));
            halfPending = false;
        }
    }
    if (halfPending)
        return {};
    return output;
}

int compareData(const QByteArray& left, const QByteArray& right)
{
    const int order = QString::compare(hexadecimalRepresentation(left), hexadecimalRepresentation(right),
                                       Qt::CaseSensitive);
    return (order > 0) - (order < 0);
}

} // namespace brevane
