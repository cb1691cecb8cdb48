#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace brevane {

/// A pipe for a child's standard output that the parent reads to end of
/// file: the end comes when every writer has closed it, the child and any
/// background job it left behind, not when the child exits.
class OutputPipe : public QObject {
    Q_OBJECT
public:
    /// Each piece read goes to reader as it arrives. With `gatherMs`, a
    /// wake-up that found only a trickle waits that long before the next,
    /// so a writer of many small pieces wakes the reader once per gathering
    /// rather than once per write.
    explicit OutputPipe(std::function<void(const QByteArray&)> reader, int gatherMs = 0);
    ~OutputPipe() override;

    /// False when the pipe could not be made; the run then reads nothing.
    bool isValid() const { return m_readEnd >= 0; }

    /// Puts the write end on the child's standard output; for
    /// QProcess::setChildProcessModifier (runs in the child before exec).
    std::function<void()> childModifier() const;

    /// Closes the parent's copy of the write end, once the child has it.
    void closeWriteEnd();

    bool atEnd() const { return m_atEnd; }

signals:
    void endReached();

private:
    void readAvailable();

    int m_readEnd = -1;
    int m_writeEnd = -1;
    bool m_atEnd = false;
    int m_gatherMs = 0;
    std::function<void(const QByteArray&)> m_reader;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace brevane
