#pragma once

#include "shell/CommandRunner.h"

#include <QString>
#include <QStringList>

namespace brevane {

/// Runs several shell command lines in one privileged run, one after another
/// in one shell, and answers each line's output as a run of that line alone
/// would have (last character dropped, "" for nothing). A refused run
/// answers "" for every line. `shortcut`, shell text run before the lines
/// with $boundary set, may print every section itself and exec: the lines
/// are then what it falls back on.
QStringList runShellLines(const CommandRunner& run, const QStringList& lines, const QString& shortcut = {});

/// The vector of such a run: a small script, the boundary, then every line
/// as an argument of its own, byte for byte. Each line's output is followed
/// by a line feed, the boundary and a line feed.
QStringList batchArguments(const QStringList& lines, const QString& boundary, const QString& shortcut = {});

/// The lines' outputs from the run's result; `count` times "" when the
/// result does not hold exactly `count` sections.
QStringList splitBatchResult(const QString& result, const QString& boundary, int count);

} // namespace brevane
