#pragma once

#include "maintenance/DeferredFolders.h"
#include "maintenance/QueueJson.h"
#include "shell/Archive.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// The queue as the listing command reports it: messages and their
// recipients as compact values (a large queue has hundreds of thousands of
// rows), read from `postqueue -j` line by line as the output arrives.
namespace brevane {

// Maildrop: a requeued message waiting for Postfix to pick it up again.
enum class QueueName : quint8 { Unknown, Incoming, Active, Deferred, Hold, Maildrop };

struct QueuedMessage {
    QString queueID; ///< bare, without status marks
    QString sender;
    qint64 arrival = 0; ///< seconds since the epoch
    qint64 size = 0;
    qint64 nextRetry = 0; ///< seconds since the epoch; 0 when not deferred or unknown
    QueueName queue = QueueName::Unknown;
    bool forcedExpire = false;
};

struct QueuedRecipient {
    qint32 message = 0; ///< index into QueueListing::messages
    QString address;
    QString remarks; ///< as `postqueue -p` shows it: "(reason)", or empty
};

struct QueueListing {
    QList<QueuedMessage> messages;
    QList<QueuedRecipient> recipients;
};

/// True for a bare Postfix queue ID: short (upper-case hexadecimal) or long
/// (digits and consonants, at least ten). Only such IDs are handed to root;
/// words such as ALL or deferred never pass.
bool isQueueID(const QString& id);

/// The ID as `postqueue -p` prints it: "*" active, "!" held, then "#"
/// force-expired.
QString printedQueueID(const QueuedMessage& message);
/// The time as `postqueue -p` prints it, runs of spaces contracted
/// ("Tue Dec 8 00:41:10"), in local time.
QString printedTime(qint64 secondsSinceEpoch);
/// "active", "deferred", "hold", "incoming", "maildrop" or "".
QString queueNameText(QueueName queue);

/// The Part's six string keys plus "queue" and "nextRetry" (printed time or
/// empty) for one recipient.
Row rowOf(const QueueListing& listing, const QueuedRecipient& recipient);

/// What the view panel shows of one message: its queue ID, queue, sender,
/// times and every recipient with its full remark, then `contents` (the
/// headers and body postcat printed).
QString messageViewText(const QueueListing& listing, qint32 message, const QString& contents);

/// Rows of the classic listing back into a listing (the reader for a
/// Postfix without -j, and for tests that set rows directly).
QueueListing listingFromRows(const Rows& rows);

/// Reads the listing command's output in pieces of any size: one JSON
/// object a line and "ID seconds" lines (next retry of deferred messages)
/// in any order or, from a Postfix without -j, the classic listing,
/// which is read whole at the end by the Part's parser. Lines that are not
/// what they should be are skipped; nothing in the output can crash it.
class QueueListingReader
{
public:
    /// `known`: the deferred folders' times from the listing before, asked
    /// for at `listedAt` (DeferredFoldersReader).
    explicit QueueListingReader(DeferredFolders known = {}, qint64 listedAt = 0);
    void feed(QByteArrayView bytes);
    /// Reads what is left and answers the listing; the reader is spent.
    QueueListing finish();
    /// After finish: the folders' times for the next listing.
    DeferredFolders takeDeferredFolders() { return m_deferred.takeFolders(); }

private:
    enum class Mode { Start, Json, Classic };
    void readLine(QByteArrayView line);
    void readJsonLine(QByteArrayView line);
    void readJsonDocument(QByteArrayView line);
    bool addMessage(QByteArrayView queueID, QByteArrayView queueName, QByteArrayView sender, qint64 arrival,
                    qint64 size, bool forcedExpire, qsizetype recipients);
    QString remarkFor(QByteArrayView reason);
    static QString shared(QByteArrayView utf8, QHash<QByteArray, QString>* copies, QString (*make)(QByteArrayView));

    Mode m_mode = Mode::Start;
    QByteArray m_partial;
    QByteArray m_classic;
    DeferredFoldersReader m_deferred;
    QHash<QByteArray, QString> m_senders;
    QHash<QByteArray, QString> m_remarks;
    ScannedMessage m_scanned;
    QueueListing m_listing;
};

/// Whole output at once, for callers and tests that have it.
QueueListing readQueueListing(QByteArrayView output);

} // namespace brevane
