#pragma once

#include "Plist.h"

#include <string>

// Starting a job under its own detached supervisor, and stopping it again.
namespace brevane::launchd {

enum class StartResult { Started, AlreadyLoaded, Failed };

/// Double-forks a supervisor in a new session that takes the job's lock,
/// starts ProgramArguments, records the job and reaps it when it ends.
/// Returns once the job is recorded, so a `list` right after shows it.
StartResult startJob(const JobSpec& job, const std::string& plistPath);

/// Asks the job's supervisor to end the job (SIGTERM, SIGKILL after 20 s)
/// and returns only when it has ended; then forgets the job. False when
/// no such job is loaded.
bool stopJob(const std::string& label);

} // namespace brevane::launchd
