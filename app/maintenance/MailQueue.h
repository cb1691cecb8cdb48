#pragma once

#include "shell/Archive.h"

#include <QList>
#include <QString>
#include <QStringList>

// The mail-queue view's logic: reading `postqueue -p` into table rows and
// the argument vectors that list, flush and delete. The window only shows
// the rows and hands the vectors to the privileged runner.
namespace brevane {

/// Takes apart a queue listing as the privileged runner returns it (last
/// character dropped) into one row per recipient with the string keys
/// "queueID", "size", "time", "sender", "recipient" and "remarks".
/// Anything with fewer than three lines (empty output, "Mail queue is
/// empty") gives no rows. A message header with fewer than seven fields is
/// skipped together with its recipient lines; the walk goes on with the next
/// message.
Rows parseMailQueue(const QString& listing);

/// "/usr/sbin/postqueue", "-p"
QStringList mailqListCommand();
/// "/usr/sbin/postqueue", "-f"
QStringList mailqFlushCommand();

/// The queue ID without the status marks Postfix appends ("*" active,
/// "!" held, "#" force-expired, possibly two): postsuper refuses the marked
/// form.
QString bareQueueID(const QString& queueID);

/// "/usr/bin/sudo", "/usr/sbin/postsuper", "-d", the bare queue ID.
QStringList mailqDeleteCommand(const QString& queueID);

/// One delete command per selected row, in row order: a message with several
/// recipients (several selected rows) is named once per row. Indexes that
/// name no row are ignored.
QList<QStringList> mailqDeleteCommands(const Rows& rows, const QList<int>& selectedRowsAscending);

} // namespace brevane
