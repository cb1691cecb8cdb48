#pragma once

#include <QString>
#include <QStringList>

// Helpers of the scenarios that run as root inside tests/system/sandbox.sh.
namespace sandbox {

/// True inside the disposable sandbox; the scenarios refuse to touch the
/// host anywhere else.
bool active();

/// Runs an argument vector; answers its standard output (standard error
/// passes through) and stores the exit status in `status` when given.
QString run(const QStringList& arguments, int* status = nullptr);

/// Runs a bash line with the queue fixture's functions loaded.
QString shell(const QString& line, int* status = nullptr);

/// Writes a file, creating its folders; `mode` as for chmod when not 0.
void writeFile(const QString& path, const QByteArray& contents, int mode = 0);

} // namespace sandbox

#define SKIP_OUTSIDE_SANDBOX()                                                                                         \
    if (!sandbox::active())                                                                                            \
    GTEST_SKIP() << "runs only inside tests/system/sandbox.sh"
