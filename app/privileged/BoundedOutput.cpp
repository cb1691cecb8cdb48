#include "privileged/BoundedOutput.h"

#include <algorithm>

namespace brevane {

BoundedOutput::BoundedOutput(qsizetype headBytes, qsizetype tailBytes)
    : m_headBytes(headBytes)
    , m_tailBytes(tailBytes)
{
}

void BoundedOutput::append(const QByteArray& piece)
{
    const qsizetype toHead = std::min(piece.size(), m_headBytes - m_head.size());
    m_head.append(piece.constData(), toHead);
    m_tail.append(piece.constData() + toHead, piece.size() - toHead);
    // Cut back only now and then, so an endless output costs no copy a piece.
    if (m_tail.size() > 2 * m_tailBytes) {
        const qsizetype excess = m_tail.size() - m_tailBytes;
        m_tail.remove(0, excess);
        m_leftOut += excess;
    }
}

QByteArray BoundedOutput::bytes() const
{
    const qsizetype excess = std::max<qsizetype>(m_tail.size() - m_tailBytes, 0);
    const qint64 leftOut = m_leftOut + excess;
    if (leftOut == 0)
        return m_head + m_tail;
    return m_head + "\n[" + QByteArray::number(leftOut) + " bytes left out]\n" + m_tail.mid(excess);
}

} // namespace brevane
