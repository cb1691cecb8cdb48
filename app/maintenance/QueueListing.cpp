#include "maintenance/QueueListing.h"

#include "maintenance/MailQueue.h"
#include "maintenance/QueueId.h"
#include "maintenance/QueueJson.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <ctime>

namespace brevane {

namespace {

QueueName queueNamed(QByteArrayView name)
{
    if (name == "active")
        return QueueName::Active;
    if (name == "deferred")
        return QueueName::Deferred;
    if (name == "hold")
        return QueueName::Hold;
    if (name == "incoming")
        return QueueName::Incoming;
    if (name == "maildrop")
        return QueueName::Maildrop;
    return QueueName::Unknown;
}

QueueName queueFromMarks(QStringView printedID)
{
    if (printedID.contains(u'*'))
        return QueueName::Active;
    if (printedID.contains(u'!'))
        return QueueName::Hold;
    return QueueName::Deferred;
}

} // namespace

bool isQueueID(const QString& id)
{
    const QByteArray bytes = id.toLatin1();
    return isQueueId({bytes.constData(), std::size_t(bytes.size())});
}

QString printedQueueID(const QueuedMessage& message)
{
    QString id = message.queueID;
    if (message.queue == QueueName::Active)
        id += u'*';
    else if (message.queue == QueueName::Hold)
        id += u'!';
    if (message.forcedExpire)
        id += u'#';
    return id;
}

QString printedTime(qint64 secondsSinceEpoch)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t time = std::time_t(secondsSinceEpoch);
    std::tm local {};
    if (!localtime_r(&time, &local))
        return {};
    return QString::asprintf("%s %s %d %02d:%02d:%02d", days[local.tm_wday % 7], months[local.tm_mon % 12],
                             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

QString queueNameText(QueueName queue)
{
    switch (queue) {
    case QueueName::Active:
        return QStringLiteral("active");
    case QueueName::Deferred:
        return QStringLiteral("deferred");
    case QueueName::Hold:
        return QStringLiteral("hold");
    case QueueName::Incoming:
        return QStringLiteral("incoming");
    case QueueName::Maildrop:
        return QStringLiteral("maildrop");
    case QueueName::Unknown:
        break;
    }
    return {};
}

Row rowOf(const QueueListing& listing, const QueuedRecipient& recipient)
{
    const QueuedMessage& message = listing.messages.at(recipient.message);
    return Row {{QStringLiteral("queueID"), printedQueueID(message)},
                {QStringLiteral("size"), QString::number(message.size)},
                {QStringLiteral("time"), printedTime(message.arrival)},
                {QStringLiteral("sender"), message.sender},
                {QStringLiteral("recipient"), recipient.address},
                {QStringLiteral("remarks"), recipient.remarks},
                {QStringLiteral("queue"), queueNameText(message.queue)},
                {QStringLiteral("nextRetry"), message.nextRetry ? printedTime(message.nextRetry) : QString()}};
}

QString messageViewText(const QueueListing& listing, qint32 message, const QString& contents)
{
    if (message < 0 || message >= listing.messages.size())
        return {};
    const QueuedMessage& shown = listing.messages.at(message);
    QStringList lines {QStringLiteral("Queue ID: %1 (%2)").arg(printedQueueID(shown), queueNameText(shown.queue)),
                       QStringLiteral("Sender: %1").arg(shown.sender),
                       QStringLiteral("Arrival time: %1").arg(printedTime(shown.arrival))};
    if (shown.nextRetry)
        lines << QStringLiteral("Next retry: %1").arg(printedTime(shown.nextRetry));
    for (const QueuedRecipient& recipient : listing.recipients) {
        if (recipient.message == message)
            lines << QStringLiteral("Recipient: %1 %2").arg(recipient.address, recipient.remarks).trimmed();
    }
    lines << QString();
    lines << (contents.isEmpty() ? QStringLiteral("The message is no longer in the queue.") : contents);
    return lines.join(u'\n');
}

QueueListing listingFromRows(const Rows& rows)
{
    QueueListing listing;
    QHash<QString, qint32> messageOf;
    for (const Row& row : rows) {
        const QString printedID = row.value(QStringLiteral("queueID")).toString();
        auto found = messageOf.constFind(printedID);
        if (found == messageOf.cend()) {
            QueuedMessage message;
            message.queueID = bareQueueID(printedID);
            message.queue = queueFromMarks(printedID);
            message.forcedExpire = printedID.contains(u'#');
            message.size = row.value(QStringLiteral("size")).toString().toLongLong();
            message.sender = row.value(QStringLiteral("sender")).toString();
            // The classic listing has no year: the latest such time not in the future.
            const QString time = row.value(QStringLiteral("time")).toString();
            const QDateTime now = QDateTime::currentDateTime();
            for (int year = now.date().year(); year > now.date().year() - 2 && !message.arrival; --year) {
                const QDateTime at = QDateTime::fromString(time + u' ' + QString::number(year),
                                                           QStringLiteral("ddd MMM d HH:mm:ss yyyy"));
                if (at.isValid() && at <= now.addDays(1))
                    message.arrival = at.toSecsSinceEpoch();
            }
            found = messageOf.insert(printedID, qint32(listing.messages.size()));
            listing.messages.append(message);
        }
        listing.recipients.append({*found, row.value(QStringLiteral("recipient")).toString(),
                                   row.value(QStringLiteral("remarks")).toString()});
    }
    return listing;
}

void QueueListingReader::feed(QByteArrayView bytes)
{
    if (m_mode == Mode::Classic) {
        m_classic += bytes;
        return;
    }
    qsizetype start = 0;
    while (m_mode != Mode::Classic) {
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            break;
        if (m_partial.isEmpty()) {
            readLine(bytes.sliced(start, end - start));
        } else {
            m_partial += bytes.sliced(start, end - start);
            readLine(m_partial);
            m_partial.clear();
        }
        start = end + 1;
    }
    if (m_mode == Mode::Classic)
        m_classic += bytes.sliced(start);
    else
        m_partial += bytes.sliced(start);
}

void QueueListingReader::readLine(QByteArrayView line)
{
    if (line.startsWith('{')) {
        m_mode = Mode::Json;
        readJsonLine(line);
        return;
    }
    if (line.isEmpty() || m_deferred.readLine(line) || m_mode == Mode::Json)
        return;
    // Neither a retry time nor JSON: a Postfix without -j listed the classic way.
    m_mode = Mode::Classic;
    m_classic = line.toByteArray() + '\n';
}

void QueueListingReader::readJsonLine(QByteArrayView line)
{
    if (!scanQueueJson(line, &m_scanned)) {
        readJsonDocument(line);
        return;
    }
    const qint32 index = qint32(m_listing.messages.size());
    if (!addMessage(m_scanned.queueID, m_scanned.queueName, m_scanned.sender, m_scanned.arrival, m_scanned.size,
                    m_scanned.forcedExpire, m_scanned.recipients.size()))
        return;
    // `postqueue -p` prints a reason whenever it changes; the last one printed applies.
    QByteArrayView lastReason;
    QString shown;
    for (const ScannedRecipient& recipient : std::as_const(m_scanned.recipients)) {
        if (recipient.reason != lastReason) {
            shown = remarkFor(recipient.reason);
            lastReason = recipient.reason;
        }
        m_listing.recipients.append({index, QString::fromUtf8(recipient.address), shown});
    }
}

// Anything the scan leaves to the general reader: odd but valid JSON reads
// the same, damaged lines are skipped.
void QueueListingReader::readJsonDocument(QByteArrayView line)
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromRawData(line.data(), line.size()));
    const QJsonObject object = document.object();
    const QJsonArray recipients = object.value(QLatin1String("recipients")).toArray();
    const auto bytes = [&object](const char* key) { return object.value(QLatin1String(key)).toString().toUtf8(); };
    const auto number = [&object](const char* key) {
        const double value = object.value(QLatin1String(key)).toDouble();
        return std::abs(value) < 9e18 ? qint64(value) : 0;
    };
    const qint32 index = qint32(m_listing.messages.size());
    if (!addMessage(bytes("queue_id"), bytes("queue_name"), bytes("sender"), number("arrival_time"),
                    number("message_size"), object.value(QLatin1String("forced_expire")).toBool(),
                    recipients.size()))
        return;
    QByteArray lastReason;
    QString shown;
    for (const QJsonValue& value : recipients) {
        const QJsonObject recipient = value.toObject();
        const QByteArray reason = recipient.value(QLatin1String("delay_reason")).toString().toUtf8();
        if (reason != lastReason) {
            shown = remarkFor(reason);
            lastReason = reason;
        }
        m_listing.recipients.append({index, recipient.value(QLatin1String("address")).toString(), shown});
    }
}

bool QueueListingReader::addMessage(QByteArrayView queueID, QByteArrayView queueName, QByteArrayView sender,
                                    qint64 arrival, qint64 size, bool forcedExpire, qsizetype recipients)
{
    QueuedMessage message;
    message.queueID = QString::fromUtf8(queueID);
    if (!isQueueID(message.queueID) || recipients == 0)
        return false;
    message.queue = queueNamed(queueName);
    message.sender = shared(sender, &m_senders, [](QByteArrayView text) { return QString::fromUtf8(text); });
    message.arrival = arrival;
    message.size = size;
    message.forcedExpire = forcedExpire;
    m_listing.messages.append(message);
    return true;
}

// What the classic listing shows for a reason: "(reason)", or
// "(reason unavailable)" once a recipient without one follows one with.
QString QueueListingReader::remarkFor(QByteArrayView reason)
{
    if (reason.isEmpty())
        return QStringLiteral("(reason unavailable)");
    return shared(reason, &m_remarks, [](QByteArrayView text) { return u'(' + QString::fromUtf8(text) + u')'; });
}

// Thousands of messages share one sender or one deferral reason: one copy
// each, found by the bytes as they lie in the line.
QString QueueListingReader::shared(QByteArrayView utf8, QHash<QByteArray, QString>* copies,
                                   QString (*make)(QByteArrayView))
{
    if (utf8.isEmpty())
        return {};
    auto found = copies->constFind(QByteArray::fromRawData(utf8.data(), utf8.size()));
    if (found == copies->cend())
        found = copies->insert(utf8.toByteArray(), make(utf8));
    return *found;
}

QueueListingReader::QueueListingReader(DeferredFolders known, qint64 listedAt)
    : m_deferred(std::move(known), listedAt)
{
}

QueueListing QueueListingReader::finish()
{
    if (!m_partial.isEmpty()) {
        QByteArray last;
        last.swap(m_partial);
        feed(last + '\n');
    }
    if (m_mode == Mode::Classic) {
        // As the privileged runner hands it over: the last character dropped.
        QString text = QString::fromUtf8(m_classic);
        text.chop(1);
        m_listing = listingFromRows(parseMailQueue(text));
    }
    const QHash<QString, qint64> retry = m_deferred.retryTimes();
    for (QueuedMessage& message : m_listing.messages) {
        if (message.queue == QueueName::Deferred)
            message.nextRetry = retry.value(message.queueID, 0);
    }
    m_senders.clear();
    m_remarks.clear();
    return std::move(m_listing);
}

QueueListing readQueueListing(QByteArrayView output)
{
    QueueListingReader reader;
    reader.feed(output);
    return reader.finish();
}

} // namespace brevane
