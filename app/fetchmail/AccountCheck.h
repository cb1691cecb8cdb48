#pragma once

#include "shell/Archive.h"

#include <QString>
#include <QStringList>

// "Test Account": one row polled with "fetchmail --check", its answer told
// in a few words in the row.
namespace brevane {

/// "/bin/sh", "-c", the check script, "", the row's poll line. The row must
/// be complete and pass fetchmailRowsProblem.
QStringList checkFetchmailAccountArguments(const Row& row, const QString& timeout);

/// What fetchmail's verbose check output (ended by the script's
/// "fetchmail status: N" line) means for the administrator: "3 messages
/// waiting", "No mail waiting", "Authentication failed: …", "Server not
/// reachable: …", "TLS failed: …".
QString fetchmailCheckSummary(const QString& output);

} // namespace brevane
