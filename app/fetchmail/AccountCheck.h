#pragma once

#include "shell/Archive.h"

#include <QString>
#include <QStringList>

// "Test Account": one row polled with "fetchmail --check", its answer told
// in a few words in the row.
namespace brevane {

/// Why the row cannot be tested ("Not tested: …"), or "" when it can: it
/// must be complete, and safe to hand fetchmail as root.
QString accountCheckRefusal(const Row& row);

/// "/bin/sh", "-c", the check script, "", the row's poll line. The row must
/// have passed accountCheckRefusal.
QStringList checkFetchmailAccountArguments(const Row& row, const QString& timeout);

/// What fetchmail's verbose check output (ended by the script's
/// "fetchmail status: N" line) means for the administrator: "3 messages
/// waiting", "No mail waiting", "Authentication failed: …", "Server not
/// reachable: …", "TLS failed: …".
QString fetchmailCheckSummary(const QString& output);

/// What "Test Account" keeps of fetchmail's output: enough of its start
/// and of its end (where the script's status line is).
inline constexpr qsizetype checkOutputHeadBytes = 64 << 10;
inline constexpr qsizetype checkOutputTailBytes = 64 << 10;

/// The index of the row that was tested, when it still holds the account
/// as tested (its answer apart); -1 when it was edited or removed meanwhile.
int testedRowIndex(const Rows& rows, const Row& tested);

} // namespace brevane
