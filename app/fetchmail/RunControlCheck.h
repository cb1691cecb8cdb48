#pragma once

#include "shell/Archive.h"

#include <QString>

// Rows may come from a settings document someone else wrote, and fetchmail
// runs as root with whatever the run-control file says (an `mda` is a
// command). A value that could end its quoted string, add a word to the
// poll line or start a new line is refused before anything is written.
namespace brevane {

/// "" when every row that would be written is safe; otherwise the message
/// for the first refused row, naming its number (from 1) and its server.
/// Incomplete rows are not written, so they are not examined.
QString fetchmailRowsProblem(const Rows& rows);

/// Why one complete row is refused ("the password holds a double quote"),
/// or "" when it is safe.
QString fetchmailRowProblem(const Row& row);

/// Whether `text` is a list of host names separated by commas, spaces or
/// tabs (letters, digits, "-" and "."; not a run-control keyword, not a
/// bare number). On failure `offender` receives the first bad name, or ""
/// when the list names no host at all.
bool isHostNameList(const QString& text, QString* offender = nullptr);

} // namespace brevane
