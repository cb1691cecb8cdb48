#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// One `postqueue -j` line taken apart where it lies, without building a JSON
// document: a large queue prints a line a message, and a document per line
// costs more than the rest of the listing together.
namespace brevane {

struct ScannedRecipient {
    QByteArrayView address;
    QByteArrayView reason; ///< empty when the line has none
};

/// The fields the queue view reads. The views point into the line, or into
/// `decoded` for strings with escapes; valid until the next scan.
struct ScannedMessage {
    QByteArrayView queueName;
    QByteArrayView queueID;
    QByteArrayView sender;
    qint64 arrival = 0;
    qint64 size = 0;
    bool forcedExpire = false;
    QList<ScannedRecipient> recipients;
    QList<QByteArray> decoded;
};

/// Reads one line into `message` (cleared first). False for anything but a
/// flat object of strings, numbers and literals with a "recipients" array
/// of such objects, and for bad JSON: the caller reads such a line the slow,
/// general way, so nothing valid is lost.
bool scanQueueJson(QByteArrayView line, ScannedMessage* message);

} // namespace brevane
