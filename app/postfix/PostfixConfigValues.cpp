#include "postfix/PostfixConfigValues.h"

#include "shell/TextHelpers.h"

#include <climits>

namespace brevane {

namespace {

bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

// The scanner skips line breaks as well as blanks before a number.
bool isScannerSkipped(QChar c)
{
    return isBlank(c) || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f'
           || c == QChar(0x85) || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

} // namespace

QString trimmedText(const QString& text)
{
    return trimCharacters(text, isBlank);
}

QString multiLineValue(const QString& text)
{
    return convertLineFeeds(trimmedText(text));
}

QString commaList(const QString& text)
{
    return trimmedText(text).replace(u',', u' ');
}

QString flagValue(bool on)
{
    return on ? QStringLiteral("yes") : QString();
}

QString scannedInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && isScannerSkipped(text.at(i)))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    const qsizetype digitsStart = i;
    long long value = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        value = value * 10 + (text.at(i).unicode() - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;  // saturated; keep scanning digits
    }
    if (i == digitsStart)
        return QStringLiteral("0");
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return QString::number(value);
}

bool containsLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

} // namespace brevane
