#pragma once

#include "SandboxRun.h"

// The queue fixture's side of the scenarios that run as root inside
// tests/system/sandbox.sh.
namespace sandbox {

/// Runs a bash line with the queue fixture's functions loaded.
QString shell(const QString& line, int* status = nullptr);

} // namespace sandbox

#define SKIP_OUTSIDE_SANDBOX()                                                                                         \
    if (!sandbox::active())                                                                                            \
    GTEST_SKIP() << "runs only inside tests/system/sandbox.sh"
