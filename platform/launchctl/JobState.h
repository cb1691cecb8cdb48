#pragma once

#include <optional>
#include <string>
#include <vector>

// What launchctl remembers of a loaded job, as plain text that survives the
// process that wrote it, and how `launchctl list` shows it.
namespace brevane::launchd {

struct JobRecord {
    std::string label;
    long pid = 0;                  // 0: the job is not running
    std::optional<int> lastStatus; // empty until the job has ended once
    std::string plistPath;
};

/// "pid=…\nstatus=…\nplist=…\n"; "-" stands for no pid / no status.
std::string formatRecord(const JobRecord& record);

/// Reverse of formatRecord; empty for damaged text.
std::optional<JobRecord> parseRecord(const std::string& label, const std::string& text);

/// The listing launchd prints: a "PID\tStatus\tLabel" heading, then one
/// row per job sorted by label, "-" where there is no pid or no status.
std::string formatListing(std::vector<JobRecord> records);

/// launchd's way of showing how a job ended: its exit code, or the
/// negated signal number when a signal ended it.
int statusFromWait(int waitStatus);

/// The user's choice recorded by `load -w` / `unload -w`, which outranks
/// the Disabled key of the property list.
enum class Override { None, Enabled, Disabled };

std::string overrideText(Override value);
Override parseOverride(const std::string& text);
bool isDisabled(bool plistDisabled, Override override);

} // namespace brevane::launchd
