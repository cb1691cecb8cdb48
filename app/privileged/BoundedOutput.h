#pragma once

#include <QByteArray>

namespace brevane {

/// What a privileged run keeps of its output: the first `headBytes` and the
/// last `tailBytes`, with the bytes between only counted. A remote server
/// can make a command print without end (a POP3 server's endless
/// capability list); the window keeps a bounded, readable part of it.
class BoundedOutput {
public:
    BoundedOutput(qsizetype headBytes, qsizetype tailBytes);

    void append(const QByteArray& piece);

    /// The bytes kept; where some were left out, a line saying how many
    /// stands between the head and the tail.
    QByteArray bytes() const;
    qint64 leftOut() const { return m_leftOut; }

private:
    qsizetype m_headBytes;
    qsizetype m_tailBytes;
    QByteArray m_head;
    QByteArray m_tail; // grows to twice its bound before it is cut back
    qint64 m_leftOut = 0;
};

} // namespace brevane
