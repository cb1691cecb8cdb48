#pragma once

#include "shell/Archive.h"
#include "shell/CommandRunner.h"

#include <QString>

namespace brevane {

/// Account rows read back from run-control text written by
/// fetchmailRunControl: one row per line that names a server; protocol,
/// keep and ssl are choice-list entries (an unknown protocol reads as POP3).
/// The piece after the last newline is not a line and is ignored.
Rows parseFetchmailRunControl(const QString& text);

/// The accounts of the installed file: runs "cat" on it through `run` when
/// `fileExists` (checkIfUnixPathExists on fetchmailRunControlPath), else none.
Rows readFetchmailAccounts(const CommandRunner& run, bool fileExists);

} // namespace brevane
