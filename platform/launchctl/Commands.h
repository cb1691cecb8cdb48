#pragma once

#include "CommandLine.h"

// The sub-commands themselves; each returns launchctl's exit status.
namespace brevane::launchd {

int loadJobs(const Invocation& invocation);
int unloadJobs(const Invocation& invocation);
int listJobs();
int removeJob(const std::string& label);

} // namespace brevane::launchd
