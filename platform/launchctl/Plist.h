#pragma once

#include <optional>
#include <string>
#include <vector>

// The few things launchctl needs from a launchd property list. Apple's XML
// format only; binary property lists are not read.
namespace brevane::launchd {

struct JobSpec {
    std::string label;
    std::vector<std::string> programArguments;
    bool disabled = false;
    /// The SockServiceName of each listener under `Sockets`: a port number
    /// or a service name.
    std::vector<std::string> socketServices;
};

struct JobParse {
    std::optional<JobSpec> job;
    std::string error; // set when job is empty
};

/// Reads the top-level dictionary of an XML property list and takes
/// `Label`, `ProgramArguments`, `Disabled` and the listeners' service
/// names under `Sockets` from it; other keys, and listeners of another
/// shape, are skipped. Malformed or hostile text gives an error, never a crash.
JobParse parseJobPlist(const std::string& text);

/// A label becomes a file name in the job state folder, so it must not be
/// empty, hold a slash or a control character, or begin with a dot.
bool isUsableLabel(const std::string& label);

} // namespace brevane::launchd
