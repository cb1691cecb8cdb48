#include "maintenance/ShownMessage.h"

#include <algorithm>

namespace brevane {

namespace {

QStringList recipientsOf(const QueueListing& listing, qint32 message)
{
    QStringList addresses;
    for (const QueuedRecipient& recipient : listing.recipients)
        if (recipient.message == message)
            addresses.append(recipient.address);
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}

} // namespace

ShownMessage shownMessage(const QueueListing& listing, qint32 message, const QString& contents)
{
    ShownMessage shown;
    shown.contents = contents;
    if (message < 0 || message >= listing.messages.size())
        return shown;
    shown.listed.messages.append(listing.messages.at(message));
    for (QueuedRecipient recipient : listing.recipients) {
        if (recipient.message != message)
            continue;
        recipient.message = 0;
        shown.listed.recipients.append(recipient);
    }
    return shown;
}

qint32 findShownMessage(const QueueListing& listing, const ShownMessage& shown)
{
    if (shown.listed.messages.isEmpty())
        return -1;
    const QueuedMessage& was = shown.listed.messages.constFirst();
    for (qint32 i = 0; i < qint32(listing.messages.size()); ++i)
        if (listing.messages.at(i).queueID == was.queueID)
            return i;
    if (!shown.requeueAsked)
        return -1;
    const QStringList recipients = recipientsOf(shown.listed, 0);
    for (qint32 i = 0; i < qint32(listing.messages.size()); ++i) {
        const QueuedMessage& candidate = listing.messages.at(i);
        if (candidate.sender == was.sender && candidate.arrival == was.arrival
            && recipientsOf(listing, i) == recipients)
            return i;
    }
    return -1;
}

ShownMessage followShownMessage(const QueueListing& listing, qint32 found, const ShownMessage& shown,
                                const QString& contents)
{
    if (found < 0 || shown.listed.messages.isEmpty())
        return shown;
    ShownMessage followed = shownMessage(listing, found, contents);
    const QString& before = shown.listed.messages.constFirst().queueID;
    const bool moved = followed.listed.messages.constFirst().queueID != before;
    followed.requeueAsked = shown.requeueAsked && !moved;
    followed.requeuedFrom = moved ? before : shown.requeuedFrom;
    return followed;
}

QString shownMessageText(const ShownMessage& shown, bool listed)
{
    if (!listed) {
        const QString why = shown.requeueAsked
            ? QStringLiteral("The message was requeued; Postfix does not list it under a new queue ID yet.")
            : QString();
        return messageViewText(shown.listed, 0, why);
    }
    QString text = messageViewText(shown.listed, 0, shown.contents);
    if (!shown.requeuedFrom.isEmpty())
        text.prepend(QStringLiteral("Requeued: its queue ID was %1.\n").arg(shown.requeuedFrom));
    else if (shown.requeueAsked)
        text.prepend(QStringLiteral("Requeued: Postfix picks it up again under a new queue ID.\n"));
    return text;
}

} // namespace brevane
