#pragma once

#include <cstdlib>

// Commands for the test build of the launcher: each program comes from the
// environment, so a test can name a script, a path that cannot be executed,
// an empty path ("") or none at all (unset), and gets its role as argument.
static const char* const startArgs[] = {std::getenv("LAUNCHER_START"), "start", nullptr};
static const char* const stopArgs[] = {std::getenv("LAUNCHER_STOP"), "stop", nullptr};
static const char* const restartArgs[] = {std::getenv("LAUNCHER_RESTART"), "restart", nullptr};
