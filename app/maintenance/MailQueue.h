#pragma once

#include "maintenance/QueueListing.h"
#include "shell/Alerts.h"
#include "shell/Archive.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The mail-queue view's logic: reading `postqueue -p` into table rows and
// the argument vectors that list, flush, hold, release, requeue, show and
// delete. The window only shows
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

/// What the queue view does to the selected messages through postsuper.
enum class QueueAction { Delete, Hold, Release, Requeue };

/// One run for every named message: "/bin/sh", "-c", the postsuper script,
/// "", the action's option, then each bare ID once, in the order first
/// named. IDs that are not queue IDs never reach root; nothing when no valid
/// ID is left.
std::optional<QStringList> queueActionCommand(QueueAction action, const QStringList& queueIDs);

/// The listing in one run: `postqueue -j` (or `postqueue -p` where -j is
/// unknown), then the deferred folders' stamps and the next retry times of
/// those not among `knownStamps` (deferredFolderStamps), each an argument.
QStringList mailqListingCommand(const QStringList& knownStamps = {});

/// "/usr/sbin/postcat", "-h", "-b", "-q", the bare ID: headers, then body.
std::optional<QStringList> viewMessageCommand(const QString& queueID);

/// What Delete asks about the selected messages (indexes into `listing`):
/// one message by its sender and every recipient ("Delete the message from
/// a@x.example to b@y.example, c@z.example?"), several by their count and
/// the total of their recipients. Default button Cancel, alternate Delete.
AlertSpec deleteQuestion(const QueueListing& listing, const QList<qint32>& messages);

} // namespace brevane
