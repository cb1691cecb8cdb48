#pragma once

#include <string>
#include <vector>

// launchctl's sub-commands as the scripts use them.
namespace brevane::launchd {

struct Invocation {
    enum class Verb { Load, Unload, List, Remove, Invalid } verb = Verb::Invalid;
    bool writeOverride = false;     // -w
    std::vector<std::string> paths; // property lists, or the label of `remove`
    std::string error;              // set for Verb::Invalid
};

/// Reads the arguments after the program name: `load [-w] PLIST...`,
/// `unload [-w] PLIST...`, `list`, `remove LABEL`.
Invocation parseCommandLine(const std::vector<std::string>& arguments);

inline constexpr const char* kUsage = "usage: launchctl load [-w] PLIST...\n"
                                      "       launchctl unload [-w] PLIST...\n"
                                      "       launchctl list\n"
                                      "       launchctl remove LABEL\n";

} // namespace brevane::launchd
