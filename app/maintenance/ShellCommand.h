#pragma once

#include <QString>

namespace brevane {

/// Runs `line` as "/bin/sh" "-c" line without privileges, as the logged-in
/// user with the application's environment and working directory, and
/// answers its whole standard output, decoded as UTF-8 (invalid bytes
/// replaced). Unlike the privileged runner it keeps the last character.
/// Standard input and standard error stay the application's; the exit
/// status is not looked at. "" when the shell cannot be started.
QString doShellCommand(const QString& line);

} // namespace brevane
