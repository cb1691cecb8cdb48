#include "privileged/OutputPipe.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace brevane {

OutputPipe::OutputPipe(std::function<void(const QByteArray&)> reader, int gatherMs)
    : m_gatherMs(gatherMs)
    , m_reader(std::move(reader))
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        m_atEnd = true;
        return;
    }
    m_readEnd = ends[0];
    m_writeEnd = ends[1];
    ::fcntl(m_readEnd, F_SETFL, ::fcntl(m_readEnd, F_GETFL) | O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(m_readEnd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &OutputPipe::readAvailable);
}

OutputPipe::~OutputPipe()
{
    m_notifier.reset();
    closeWriteEnd();
    if (m_readEnd >= 0)
        ::close(m_readEnd);
}

std::function<void()> OutputPipe::childModifier() const
{
    // dup2 leaves the copy without close-on-exec; the original closes at exec.
    return [writeEnd = m_writeEnd] { ::dup2(writeEnd, STDOUT_FILENO); };
}

void OutputPipe::closeWriteEnd()
{
    if (m_writeEnd >= 0)
        ::close(m_writeEnd);
    m_writeEnd = -1;
}

void OutputPipe::readAvailable()
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(m_readEnd, buffer, sizeof buffer);
        if (got > 0) {
            m_reader(QByteArray(buffer, got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EAGAIN) {
            if (m_gatherMs > 0) {
                m_notifier->setEnabled(false);
                QTimer::singleShot(m_gatherMs, this, [this] { m_notifier->setEnabled(true); });
            }
            return;
        }
        // End of file, or an error that ends the output just the same.
        m_notifier->setEnabled(false);
        m_atEnd = true;
        emit endReached();
        return;
    }
}

} // namespace brevane
