#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// What the scenarios that run as root inside tests/system/sandbox.sh share.
namespace sandbox {

/// True inside the disposable sandbox; the scenarios refuse to touch the
/// host anywhere else.
bool active();

/// Runs an argument vector from `workingDirectory` (ours when empty);
/// answers its standard output (standard error passes through) and stores
/// the exit status in `status` when given.
QString run(const QStringList& arguments, int* status = nullptr, const QString& workingDirectory = {});

/// The helper tool's view of a run: the output minus its last character.
QString runAsHelper(const QStringList& arguments, const QString& workingDirectory = {});

/// Writes a file, creating its folders; `mode` as for chmod when not 0.
void writeFile(const QString& path, const QByteArray& contents, int mode = 0);

/// A file's text as UTF-8; empty when it cannot be read.
QString readFile(const QString& path);

/// Asks `done` every tenth of a second for up to `seconds`; answers its last word.
bool waitFor(const std::function<bool()>& done, int seconds);

} // namespace sandbox
