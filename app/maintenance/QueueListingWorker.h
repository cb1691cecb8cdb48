#pragma once

#include "maintenance/QueueListing.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace brevane {

/// Reads a listing on a thread of its own while the output still arrives,
/// so a queue of 50,000 messages never holds up the window: the window
/// feeds the pieces, and gets the listing read and arranged for its filter
/// and sort order.
class QueueListingWorker
{
public:
    /// `known` and `listedAt` as for QueueListingReader.
    QueueListingWorker(QString filter, int sortColumn, Qt::SortOrder order, DeferredFolders known = {},
                       qint64 listedAt = 0);
    ~QueueListingWorker();
    QueueListingWorker(const QueueListingWorker&) = delete;
    QueueListingWorker& operator=(const QueueListingWorker&) = delete;

    void feed(const QByteArray& piece);
    /// No more output. `done` runs on the worker's thread once the listing
    /// is ready.
    void finish(std::function<void()> done);
    bool isDone() const { return m_done; }
    /// After done: the listing and its arranged rows.
    QueueListing takeListing() { return std::move(m_listing); }
    QList<qint32> takeArranged() { return std::move(m_arranged); }
    DeferredFolders takeDeferredFolders() { return std::move(m_deferred); }

    /// Frees a listing away from the caller's thread: a hundred thousand
    /// rows take a while to free.
    static void discard(QueueListing listing);

private:
    void work();

    const QString m_filter;
    const int m_sortColumn;
    const Qt::SortOrder m_order;
    DeferredFolders m_known;
    const qint64 m_listedAt;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<QByteArray> m_pieces;
    qsizetype m_waiting = 0;
    // postqueue writes each message as it gets it, a few hundred bytes at a
    // time: waking the parse for each would cost a switch per message on a
    // machine already busy listing the queue.
    static constexpr qsizetype wakeBytes = 64 * 1024;
    bool m_finished = false;
    std::function<void()> m_onDone;
    std::atomic<bool> m_done {false};
    QueueListing m_listing;
    QList<qint32> m_arranged;
    DeferredFolders m_deferred;
    std::thread m_thread;
};

} // namespace brevane
