#pragma once

#include "maintenance/QueueListing.h"

#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <QSet>

namespace brevane {

/// The rows the table shows, in order: recipients whose sender, recipient,
/// queue ID or remarks contain `filter` (any case), sorted by `column`'s raw
/// value (sizes as numbers, times as times), ties kept in listing order;
/// column -1 keeps the listing's order. Pure, so a new listing can be
/// arranged away from the window's thread.
QList<qint32> arrangeRows(const QueueListing& listing, const QString& filter, int column, Qt::SortOrder order);

/// Counts over the shown rows, and of the whole queue when a filter hides some.
struct QueueSummary {
    int messages = 0;
    int recipients = 0;
    int deferred = 0;
    int held = 0;
    bool filtered = false;
    int allMessages = 0;
    int allRecipients = 0;
};
QueueSummary summarize(const QueueListing& listing, const QList<qint32>& rows, bool filtered = false);
/// "N messages, M recipients, K deferred, H held" ("1 message"), or with a
/// filter on "N of T messages, M of R recipients, …".
QString summaryText(const QueueSummary& summary);

/// The mail-queue table controller: one row per recipient over a compact
/// listing, filtered and sorted in place (its arranged rows are what the
/// table shows), with the table's selection. A new listing arrives whole
/// in one model reset.
class MailQueueModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { QueueID, Size, Time, Sender, Recipient, Remarks, Queue, NextRetry, ColumnCount };
    /// The value a column sorts by (number, or text).
    static constexpr int SortRole = Qt::UserRole;

    explicit MailQueueModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    void setColumnTitles(const QStringList& titles);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    const QString& filterText() const { return m_filter; }
    void setFilterText(const QString& text);

    /// Installs a listing arranged for the current filter and sort, in one
    /// reset, keeping the selected messages (by queue ID) selected; answers the previous
    /// listing so the caller can free it elsewhere.
    QueueListing setListing(QueueListing listing, QList<qint32> arranged);
    void setListing(QueueListing listing);
    const QueueListing& listing() const { return m_listing; }
    /// What the last listing read of the deferred folders, for the next.
    DeferredFolders& deferredFolders() { return m_deferredFolders; }
    const QueuedRecipient& recipientAt(int row) const;
    const QueuedMessage& messageAt(int row) const;

    /// The shown rows as string maps with the keys of rowOf().
    Rows arrangedObjects() const;
    void setRows(const Rows& rows);
    void removeAllObjects();

    QItemSelectionModel* selectionModel() { return &m_selection; }
    /// Selected row numbers, ascending.
    QList<int> selectionIndexes() const;
    void setSelectionIndex(int row);
    /// Selects every shown row of the message (its index in listing()).
    void selectMessage(qint32 message);
    /// The queue IDs (as printed) of the selected rows, in row order.
    QStringList selectedQueueIDs() const;
    QueueSummary summary() const { return summarize(m_listing, m_arranged, !m_filter.isEmpty()); }

private:
    QVariant displayValue(const QueuedMessage& message, const QueuedRecipient& recipient, int column) const;
    void rearrange();
    QItemSelection rowsOf(const QSet<qint32>& messages) const;
    QSet<qint32> messagesIn(const QItemSelection& selection) const;
    void selectWholeMessages(const QItemSelection& selected, const QItemSelection& deselected);

    QueueListing m_listing;
    DeferredFolders m_deferredFolders;
    QList<qint32> m_arranged;
    QStringList m_titles;
    QString m_filter;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QItemSelectionModel m_selection;
    bool m_widening = false;
};

} // namespace brevane
