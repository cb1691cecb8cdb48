#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace brevane::auth {

/// Start time (field 22 of /proc/PID/stat, clock ticks since boot) from the
/// text of that file. The command name may hold spaces and parentheses, so
/// fields are counted after the last ')'. nullopt for malformed text.
std::optional<unsigned long long> startTimeFromStat(const std::string& statText);

/// Start time of a live process; nullopt when it does not exist.
/// A pid with the same start time is the same process: pids are reused,
/// start times of different processes under one pid are not.
std::optional<unsigned long long> processStartTime(pid_t pid);

} // namespace brevane::auth
