#include "maintenance/MailQueueModel.h"

#include <QHash>
#include <QScopedValueRollback>
#include <QSet>

#include <algorithm>
#include <numeric>

namespace brevane {

namespace {

bool matches(const QueueListing& listing, const QueuedRecipient& recipient, const QString& filter)
{
    const QueuedMessage& message = listing.messages.at(recipient.message);
    for (const QString* text : {&message.sender, &recipient.address, &message.queueID, &recipient.remarks}) {
        if (text->contains(filter, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Negative, zero or positive as a sorts before, with or after b.
int compareRows(const QueueListing& listing, qint32 a, qint32 b, int column)
{
    const QueuedRecipient& ra = listing.recipients.at(a);
    const QueuedRecipient& rb = listing.recipients.at(b);
    const QueuedMessage& ma = listing.messages.at(ra.message);
    const QueuedMessage& mb = listing.messages.at(rb.message);
    const auto number = [](qint64 x, qint64 y) { return x < y ? -1 : (x > y ? 1 : 0); };
    switch (column) {
    case MailQueueModel::QueueID:
        return ma.queueID.compare(mb.queueID);
    case MailQueueModel::Size:
        return number(ma.size, mb.size);
    case MailQueueModel::Time:
        return number(ma.arrival, mb.arrival);
    case MailQueueModel::Sender:
        return ma.sender.compare(mb.sender, Qt::CaseInsensitive);
    case MailQueueModel::Recipient:
        return ra.address.compare(rb.address, Qt::CaseInsensitive);
    case MailQueueModel::Remarks:
        return ra.remarks.compare(rb.remarks, Qt::CaseInsensitive);
    case MailQueueModel::Queue:
        return queueNameText(ma.queue).compare(queueNameText(mb.queue));
    case MailQueueModel::NextRetry:
        return number(ma.nextRetry, mb.nextRetry);
    default:
        return 0;
    }
}

} // namespace

QList<qint32> arrangeRows(const QueueListing& listing, const QString& filter, int column, Qt::SortOrder order)
{
    QList<qint32> rows;
    rows.reserve(listing.recipients.size());
    for (qint32 i = 0; i < qint32(listing.recipients.size()); ++i) {
        if (filter.isEmpty() || matches(listing, listing.recipients.at(i), filter))
            rows.append(i);
    }
    if (column >= 0 && column < MailQueueModel::ColumnCount) {
        std::stable_sort(rows.begin(), rows.end(), [&](qint32 a, qint32 b) {
            const int c = compareRows(listing, a, b, column);
            return order == Qt::AscendingOrder ? c < 0 : c > 0;
        });
    }
    return rows;
}

QueueSummary summarize(const QueueListing& listing, const QList<qint32>& rows, bool filtered)
{
    QueueSummary summary;
    summary.recipients = int(rows.size());
    summary.filtered = filtered;
    summary.allMessages = int(listing.messages.size());
    summary.allRecipients = int(listing.recipients.size());
    QList<bool> counted(listing.messages.size(), false);
    for (qint32 row : rows) {
        const qint32 index = listing.recipients.at(row).message;
        if (counted.at(index))
            continue;
        counted[index] = true;
        ++summary.messages;
        const QueueName queue = listing.messages.at(index).queue;
        summary.deferred += queue == QueueName::Deferred;
        summary.held += queue == QueueName::Hold;
    }
    return summary;
}

namespace {

// "1 message", "3 messages"; with a filter "1 of 5 messages".
QString counted(int shown, bool filtered, int all, const QString& noun)
{
    const int last = filtered ? all : shown;
    const QString number = filtered ? QStringLiteral("%1 of %2").arg(shown).arg(all) : QString::number(shown);
    return number + u' ' + noun + (last == 1 ? QString() : QStringLiteral("s"));
}

} // namespace

QString summaryText(const QueueSummary& summary)
{
    return QStringLiteral("%1, %2, %3 deferred, %4 held")
        .arg(counted(summary.messages, summary.filtered, summary.allMessages, QStringLiteral("message")),
             counted(summary.recipients, summary.filtered, summary.allRecipients, QStringLiteral("recipient")))
        .arg(summary.deferred)
        .arg(summary.held);
}

MailQueueModel::MailQueueModel(QObject* parent)
    : QAbstractTableModel(parent)
    , m_selection(this)
{
    connect(&m_selection, &QItemSelectionModel::selectionChanged, this, &MailQueueModel::selectWholeMessages);
}

int MailQueueModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_arranged.size());
}

int MailQueueModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MailQueueModel::displayValue(const QueuedMessage& message, const QueuedRecipient& recipient,
                                      int column) const
{
    switch (column) {
    case QueueID:
        return printedQueueID(message);
    case Size:
        return QString::number(message.size);
    case Time:
        return printedTime(message.arrival);
    case Sender:
        return message.sender;
    case Recipient:
        return recipient.address;
    case Remarks:
        return recipient.remarks;
    case Queue:
        return queueNameText(message.queue);
    case NextRetry:
        return message.nextRetry ? printedTime(message.nextRetry) : QString();
    default:
        return {};
    }
}

QVariant MailQueueModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_arranged.size())
        return {};
    const QueuedRecipient& recipient = recipientAt(index.row());
    const QueuedMessage& message = m_listing.messages.at(recipient.message);
    if (role == Qt::DisplayRole)
        return displayValue(message, recipient, index.column());
    // The table cuts long deferral reasons; the tool tip shows them whole.
    if (role == Qt::ToolTipRole && index.column() == Remarks && !recipient.remarks.isEmpty())
        return recipient.remarks;
    if (role == SortRole) {
        switch (index.column()) {
        case Size:
            return message.size;
        case Time:
            return message.arrival;
        case NextRetry:
            return message.nextRetry;
        default:
            return displayValue(message, recipient, index.column());
        }
    }
    return {};
}

QVariant MailQueueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_titles.size())
        return m_titles.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void MailQueueModel::setColumnTitles(const QStringList& titles)
{
    m_titles = titles;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void MailQueueModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    rearrange();
}

void MailQueueModel::setFilterText(const QString& text)
{
    if (text == m_filter)
        return;
    m_filter = text;
    rearrange();
}

void MailQueueModel::rearrange()
{
    // The lists are shared, not copied: the same listing comes back arranged anew.
    setListing(m_listing, arrangeRows(m_listing, m_filter, m_sortColumn, m_sortOrder));
}

QueueListing MailQueueModel::setListing(QueueListing listing, QList<qint32> arranged)
{
    // Selected messages by queue ID: the new rows are looked up by the
    // strings they already hold, no key built for each of them.
    QSet<QString> selected;
    for (const QItemSelectionRange& range : m_selection.selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            selected.insert(messageAt(row).queueID);

    beginResetModel();
    std::swap(m_listing, listing);
    m_arranged.swap(arranged);
    endResetModel();

    if (!selected.isEmpty()) {
        QSet<qint32> messages;
        for (qint32 i = 0; i < qint32(m_listing.messages.size()); ++i)
            if (selected.contains(m_listing.messages.at(i).queueID))
                messages.insert(i);
        const QScopedValueRollback whole(m_widening, true);
        m_selection.select(rowsOf(messages), QItemSelectionModel::ClearAndSelect);
    }
    return listing;
}

// Runs of neighbouring rows become one range: selecting all of a large
// queue stays one range, not one per row.
QItemSelection MailQueueModel::rowsOf(const QSet<qint32>& messages) const
{
    QItemSelection selection;
    if (messages.isEmpty())
        return selection;
    const auto isSelected = [&](int row) { return messages.contains(recipientAt(row).message); };
    const int rows = int(m_arranged.size());
    for (int row = 0; row < rows; ++row) {
        if (!isSelected(row))
            continue;
        const int first = row;
        while (row + 1 < rows && isSelected(row + 1))
            ++row;
        selection.append(QItemSelectionRange(index(first, 0), index(row, ColumnCount - 1)));
    }
    return selection;
}

QSet<qint32> MailQueueModel::messagesIn(const QItemSelection& selection) const
{
    QSet<qint32> messages;
    for (const QItemSelectionRange& range : selection)
        for (int row = range.top(); row <= range.bottom() && row < m_arranged.size(); ++row)
            messages.insert(recipientAt(row).message);
    return messages;
}

// A message is deleted, held or requeued whole, so a click on one of its
// recipients selects them all, and taking one out takes out the message.
void MailQueueModel::selectWholeMessages(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (m_widening)
        return;
    const QSet<qint32> chosen = messagesIn(selected);
    const QSet<qint32> dropped = messagesIn(deselected) - chosen;
    const QScopedValueRollback whole(m_widening, true);
    m_selection.select(rowsOf(dropped), QItemSelectionModel::Deselect);
    m_selection.select(rowsOf(chosen), QItemSelectionModel::Select);
}

void MailQueueModel::selectMessage(qint32 message)
{
    m_selection.select(rowsOf({message}), QItemSelectionModel::ClearAndSelect);
}

void MailQueueModel::setListing(QueueListing listing)
{
    QList<qint32> arranged = arrangeRows(listing, m_filter, m_sortColumn, m_sortOrder);
    setListing(std::move(listing), std::move(arranged));
}

const QueuedRecipient& MailQueueModel::recipientAt(int row) const
{
    return m_listing.recipients.at(m_arranged.at(row));
}

const QueuedMessage& MailQueueModel::messageAt(int row) const
{
    return m_listing.messages.at(recipientAt(row).message);
}

Rows MailQueueModel::arrangedObjects() const
{
    Rows rows;
    rows.reserve(m_arranged.size());
    for (qint32 row : m_arranged)
        rows.append(rowOf(m_listing, m_listing.recipients.at(row)));
    return rows;
}

void MailQueueModel::setRows(const Rows& rows)
{
    setListing(listingFromRows(rows));
}

void MailQueueModel::removeAllObjects()
{
    setListing(QueueListing {});
}

QList<int> MailQueueModel::selectionIndexes() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_selection.selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MailQueueModel::setSelectionIndex(int row)
{
    if (row < 0 || row >= rowCount()) {
        m_selection.clearSelection();
        return;
    }
    m_selection.select(index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QStringList MailQueueModel::selectedQueueIDs() const
{
    QStringList ids;
    for (int row : selectionIndexes())
        ids.append(printedQueueID(messageAt(row)));
    return ids;
}

} // namespace brevane
