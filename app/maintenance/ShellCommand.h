#pragma once

#include "shell/CommandRunner.h"

#include <QString>
#include <QStringList>

namespace brevane {

/// Runs `line` as "/bin/sh" "-c" line without privileges, as the logged-in
/// user with the application's environment and working directory, and
/// answers its whole standard output, decoded as UTF-8 (invalid bytes
/// replaced). Unlike the privileged runner it keeps the last character.
/// Standard input and standard error stay the application's; the exit
/// status is not looked at. "" when the shell cannot be started.
QString doShellCommand(const QString& line);

/// Runs an argument vector without privileges, like doShellCommand, and
/// answers its output the way the privileged runner does: without its last
/// character. For commands that need no root, such as the version query.
QString runWithoutPrivileges(const QStringList& arguments);

/// The runner the window hands unprivileged vectors to: runWithoutPrivileges,
/// or the stand-in a widget test puts in its place.
CommandRunner& unprivilegedRunner();

} // namespace brevane

namespace brevane {

/// The first `lineCount` lines `line` prints (as doShellCommand runs it),
/// after which the command is ended: the mail log's command echoes its
/// headings before it reverses the whole log, which the window reads in
/// pieces of its own.
QString shellCommandHeadings(const QString& line, int lineCount);

} // namespace brevane
