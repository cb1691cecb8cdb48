#pragma once

#include "shell/CommandRunner.h"

#include <QString>
#include <QStringList>

// The read-back's one privileged run: every file it looks at, each section
// exactly as its own command line prints it.
namespace brevane {

/// The installed configuration directory.
QString postfixConfigDirectory();

/// The nine command lines that define the sections, in order, naming the
/// files in `dir`.
QStringList postfixReadBackLines(const QString& dir);

/// Shell text for runShellLines: when every file in `dir` is a regular file
/// or absent, one awk reads them all and prints every section, the ranges
/// taken line by line as sed takes them; anything else (a directory, a
/// dangling link, no awk) leaves the lines to run. `dir` holds no quote.
QString postfixReadBackShortcut(const QString& dir);

/// The nine sections read from `dir` in one run, each what its command line
/// alone would have given.
QStringList readPostfixSections(const CommandRunner& run, const QString& dir);

} // namespace brevane
