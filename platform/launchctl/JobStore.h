#pragma once

#include "JobState.h"

#include <optional>
#include <string>
#include <vector>

// Where launchctl keeps job state between its runs. The record of a loaded
// job lives in the run folder (gone at boot, as launchd's jobs are); the
// -w overrides live under /var/db and outlast a reboot.
namespace brevane::launchd {

inline constexpr const char* kStateDir = "/var/run/launchd-jobs";
inline constexpr const char* kOverrideDir = "/var/db/launchd.overrides";
inline constexpr const char* kLogDir = "/var/log/launchd";

std::string recordPath(const std::string& label);
std::string lockPath(const std::string& label);
std::string logPath(const std::string& label);

/// Creates `path` and its parents (mode 0755); false on failure.
bool makeDirectories(const std::string& path);

bool readFile(const std::string& path, std::string& text);

/// Writes `text` to `path` through a temporary file renamed into place, so
/// a reader never sees half a record.
bool writeFileAtomically(const std::string& path, const std::string& text);

std::optional<JobRecord> readRecord(const std::string& label);
bool writeRecord(const JobRecord& record);
void removeRecord(const std::string& label);

/// Every job record in the state folder (damaged ones skipped).
std::vector<JobRecord> readAllRecords();

/// The process holding the job's lock (its supervisor), or 0 when none.
long lockHolder(const std::string& label);

Override readOverride(const std::string& label);
bool writeOverride(const std::string& label, Override value);

} // namespace brevane::launchd
