#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

// Spam and virus filtering as the Filtering tab holds it: rspamd behind
// Postfix's milter, with redis for its statistics and greylisting, and
// ClamAV's clamd called by rspamd's antivirus module.
namespace brevane::filtering {

struct FilteringSettings {
    bool spamFiltering = false;
    /// rspamd scores as typed; checked (settingsProblem) before anything is
    /// written from them, since a settings document may carry any text.
    QString headerScore = QStringLiteral("6");
    QString rejectScore = QStringLiteral("15");
    bool greylisting = true;
    bool virusScanning = true;

    bool operator==(const FilteringSettings&) const = default;
};

/// A score as rspamd takes it from us: 0 to 999, at most two decimals.
std::optional<double> parseScore(const QString& text);

/// What is wrong with the settings, naming the field, or nullopt when files
/// may be written from them. Nothing is checked while filtering is off.
std::optional<QString> settingsProblem(const FilteringSettings& settings);

/// The settings document's keys and back. A document from before filtering
/// existed gives filtering, greylisting and virus scanning off.
void putDocumentValues(const FilteringSettings& settings, QVariantMap& values);
FilteringSettings fromDocumentValues(const QVariantMap& values);

inline constexpr char spamFilteringKey[] = "spamFiltering";
inline constexpr char headerScoreKey[] = "spamHeaderScore";
inline constexpr char rejectScoreKey[] = "spamRejectScore";
inline constexpr char greylistingKey[] = "greylisting";
inline constexpr char virusScanningKey[] = "virusScanning";

} // namespace brevane::filtering
