#include "fetchmail/PollingIntervals.h"

#include "shell/TextHelpers.h"

#include <algorithm>
#include <limits>

namespace brevane {

QString decimalFieldText(const QString& field)
{
    const QString text = trimSpacesAndTabs(field);
    qsizetype at = 0;
    bool negative = false;
    if (at < text.size() && (text.at(at) == u'+' || text.at(at) == u'-'))
        negative = text.at(at++) == u'-';
    // Saturate like the reading of a C int: a long run of digits is the
    // largest interval, never a wrapped-around one.
    constexpr qint64 limit = qint64(std::numeric_limits<qint32>::max()) + 1;
    qint64 value = 0;
    for (; at < text.size() && text.at(at) >= u'0' && text.at(at) <= u'9'; ++at)
        value = std::min(limit, value * 10 + (text.at(at).unicode() - u'0'));
    if (negative)
        value = -value;
    value = std::clamp<qint64>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    return QString::number(value);
}

QString pollingIntervalText(const QString& field)
{
    const QString seconds = decimalFieldText(field);
    return seconds == QLatin1String("0") ? QStringLiteral("60") : seconds;
}

QString timeoutText(const QString& field)
{
    return decimalFieldText(field);
}

} // namespace brevane
