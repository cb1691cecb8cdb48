#include "maintenance/QueueListingWorker.h"

#include "maintenance/MailQueueModel.h"

namespace brevane {

QueueListingWorker::QueueListingWorker(QString filter, int sortColumn, Qt::SortOrder order, DeferredFolders known,
                                       qint64 listedAt)
    : m_filter(std::move(filter))
    , m_sortColumn(sortColumn)
    , m_order(order)
    , m_known(std::move(known))
    , m_listedAt(listedAt)
    , m_thread(&QueueListingWorker::work, this)
{
}

QueueListingWorker::~QueueListingWorker()
{
    {
        std::lock_guard guard(m_lock);
        m_finished = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void QueueListingWorker::feed(const QByteArray& piece)
{
    bool wake = false;
    {
        std::lock_guard guard(m_lock);
        m_pieces.push_back(piece);
        m_waiting += piece.size();
        wake = m_waiting >= wakeBytes;
        if (wake)
            m_waiting = 0;
    }
    if (wake)
        m_wake.notify_one();
}

void QueueListingWorker::finish(std::function<void()> done)
{
    {
        std::lock_guard guard(m_lock);
        m_onDone = std::move(done);
        m_finished = true;
    }
    m_wake.notify_one();
}

void QueueListingWorker::work()
{
    QueueListingReader reader(std::move(m_known), m_listedAt);
    std::function<void()> onDone;
    for (;;) {
        std::unique_lock guard(m_lock);
        m_wake.wait(guard, [this] { return m_finished || !m_pieces.empty(); });
        if (m_pieces.empty()) {
            onDone = std::move(m_onDone);
            break;
        }
        const QByteArray piece = std::move(m_pieces.front());
        m_pieces.pop_front();
        guard.unlock();
        reader.feed(piece);
    }
    m_listing = reader.finish();
    m_deferred = reader.takeDeferredFolders();
    m_arranged = arrangeRows(m_listing, m_filter, m_sortColumn, m_order);
    m_done = true;
    if (onDone)
        onDone();
}

void QueueListingWorker::discard(QueueListing listing)
{
    std::thread([old = std::move(listing)]() mutable { old = {}; }).detach();
}

} // namespace brevane
