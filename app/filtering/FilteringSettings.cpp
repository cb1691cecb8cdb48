#include "filtering/FilteringSettings.h"

#include <QRegularExpression>

namespace brevane::filtering {

std::optional<double> parseScore(const QString& text)
{
    static const QRegularExpression score(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,2})?$"));
    if (!score.match(text.trimmed()).hasMatch())
        return std::nullopt;
    return text.trimmed().toDouble();
}

std::optional<QString> settingsProblem(const FilteringSettings& settings)
{
    if (!settings.spamFiltering)
        return std::nullopt;
    const auto header = parseScore(settings.headerScore);
    if (!header || *header <= 0)
        return QStringLiteral("The spam header score \u201c%1\u201d is not a score above 0 and below 1000 (at most "
                              "two decimals).")
            .arg(settings.headerScore);
    const auto reject = parseScore(settings.rejectScore);
    if (!reject)
        return QStringLiteral("The reject score \u201c%1\u201d is not a score below 1000 (at most two decimals).")
            .arg(settings.rejectScore);
    if (*reject <= *header)
        return QStringLiteral("The reject score (%1) must be above the spam header score (%2).")
            .arg(settings.rejectScore.trimmed(), settings.headerScore.trimmed());
    return std::nullopt;
}

void putDocumentValues(const FilteringSettings& settings, QVariantMap& values)
{
    values.insert(QLatin1String(spamFilteringKey), settings.spamFiltering ? 1 : 0);
    values.insert(QLatin1String(headerScoreKey), settings.headerScore);
    values.insert(QLatin1String(rejectScoreKey), settings.rejectScore);
    values.insert(QLatin1String(greylistingKey), settings.greylisting ? 1 : 0);
    values.insert(QLatin1String(virusScanningKey), settings.virusScanning ? 1 : 0);
}

FilteringSettings fromDocumentValues(const QVariantMap& values)
{
    // Only 1 turns a box on: any other number a document holds leaves it off.
    const auto on = [&values](const char* key) { return values.value(QLatin1String(key)).toInt() == 1; };
    FilteringSettings settings;
    settings.spamFiltering = on(spamFilteringKey);
    settings.headerScore = values.value(QLatin1String(headerScoreKey), settings.headerScore).toString();
    settings.rejectScore = values.value(QLatin1String(rejectScoreKey), settings.rejectScore).toString();
    settings.greylisting = on(greylistingKey);
    settings.virusScanning = on(virusScanningKey);
    return settings;
}

} // namespace brevane::filtering
