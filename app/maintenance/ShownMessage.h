#pragma once

#include "maintenance/QueueListing.h"

// The message the queue tab's pane shows, followed through every new
// listing: a Release changes its queue, a Requeue gives it a new queue ID.
namespace brevane {

struct ShownMessage {
    QueueListing listed;   ///< the message alone (index 0) with its recipients, as last listed
    QString contents;      ///< its headers and body as postcat printed them
    bool requeueAsked = false; ///< requeued, not yet seen under a new queue ID
    QString requeuedFrom;  ///< the queue ID it had before it was requeued
};

/// The message `message` of `listing` with what postcat printed of it.
ShownMessage shownMessage(const QueueListing& listing, qint32 message, const QString& contents);

/// Where the shown message is in a new listing: under its queue ID, or,
/// once a requeue was asked, the message with the same sender, arrival time
/// and recipients under another ID (Postfix keeps the arrival time but
/// adds a header, so the size changes). -1 when it is not listed.
qint32 findShownMessage(const QueueListing& listing, const ShownMessage& shown);

/// The shown message as the new listing has it at `found`, with `contents`
/// as postcat prints it there; found -1 keeps it as it was last listed.
/// Seen under a new queue ID, the requeue is done and the old ID kept.
ShownMessage followShownMessage(const QueueListing& listing, qint32 found, const ShownMessage& shown,
                                const QString& contents);

/// The pane's text: the message as last listed, what became of a requeue,
/// and its contents, or that it is no longer listed.
QString shownMessageText(const ShownMessage& shown, bool listed);

} // namespace brevane
