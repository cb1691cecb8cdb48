// Any bytes as a queue listing: the parser must neither crash nor make a
// row that the table and the delete command could not take.
#include "maintenance/MailQueue.h"
#include "maintenance/QueueListing.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace brevane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString listing = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const Rows rows = parseMailQueue(listing);

    for (int i = 0; i < rows.size(); ++i) {
        const Row& row = rows.at(i);
        const QString remarks = row.value(QStringLiteral("remarks")).toString();
        if (row.size() != 6 || (!remarks.isEmpty() && !remarks.startsWith(u'(')))
            std::abort();
    }
    QStringList ids;
    for (const Row& row : rows)
        ids.append(row.value(QStringLiteral("queueID")).toString());
    // Whatever the listing holds, only queue IDs reach root.
    if (const auto command = queueActionCommand(QueueAction::Delete, ids)) {
        for (const QString& id : command->mid(5)) {
            if (!isQueueID(id))
                std::abort();
        }
    }

    // The JSON reader, fed the same bytes in two pieces.
    QueueListingReader reader;
    reader.feed(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size / 2)));
    reader.feed(QByteArrayView(reinterpret_cast<const char*>(data) + size / 2, qsizetype(size - size / 2)));
    const QueueListing listing = reader.finish();
    for (const QueuedRecipient& recipient : listing.recipients) {
        if (recipient.message < 0 || recipient.message >= listing.messages.size())
            std::abort();
        if (!isQueueID(listing.messages.at(recipient.message).queueID))
            std::abort();
    }
    return 0;
}
