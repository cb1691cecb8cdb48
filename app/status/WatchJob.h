#pragma once

#include "status/StatusState.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimeZone>

// The watch job as the Status tab sees it: where it leaves its result, how
// it is installed and removed, and how its last result is summed up.
namespace brevane::status {

/// Written by the job as root, readable by everyone.
inline constexpr char watchStatePath[] = "/var/lib/brevane-watch/status.json";
/// Present while the job is installed.
inline constexpr char watchJobPlist[] = "/Library/LaunchDaemons/com.dadarozudedarid.status.plist";

/// The helper's arguments that install (and load) or remove the job; run in
/// the resource directory, which holds the job's program. `settings`: the
/// job's settings file, installed with it.
QStringList watchJobArguments(bool on, const QByteArray& settings = {});
/// The helper's arguments that give the installed job new settings.
QStringList watchSettingsArguments(const QByteArray& settings);

/// True when the script's output says it did what was asked.
bool watchJobChanged(const QString& scriptOutput, bool on);
bool watchSettingsTaken(const QString& scriptOutput);

/// "Checked by the watch job at 2026-12-09 17:07: 1 failing, 0 warning, of 4
/// checks." with the run's time in `zone`'s local time.
QString watchSummary(const JobState& state, const QTimeZone& zone);

} // namespace brevane::status
