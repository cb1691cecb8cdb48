#pragma once

#include "shell/Archive.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// The fetchmail account table: rows of ten keys, three of which refer to an
// entry of a choice list ({"value": word}) rather than holding text.
namespace brevane {

inline constexpr char fetchmailRunControlPath[] = "/usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc";

/// The ten keys of an account row, in the order rows are built.
const QStringList& fetchmailRowKeys();

/// The rows as documents keep them: without the answer of the last "Test
/// Account" that the table also shows.
Rows fetchmailAccountRows(const Rows& rows);

/// A choice-list entry: a map with the one key "value".
Row choiceEntry(const QString& value);
/// The word an entry stands for. A plain string counts as its own word,
/// the way the table shows it; anything else gives "".
QString choiceValue(const QVariant& entry);

/// "POP3", "IMAP", "AUTO", "POP2", "APOP", "SDPS", "KPOP"; entry 0 is the default.
const Rows& protocolChoices();
/// "YES" (entry 0), "NO" (entry 1).
const Rows& yesNoChoices();

/// The row appended by the table's add button: placeholders to overwrite,
/// protocol POP3, keep and ssl NO.
Row newFetchmailRow();

/// Written to the file only when server (trimmed), there, password and
/// here all hold something.
bool isCompleteFetchmailRow(const Row& row);

} // namespace brevane
