#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

// The log lines the window keeps, oldest first, and the ways of picking the
// ones shown: a busy server's log holds a million lines, so they live in a
// few large blocks with a small index rather than as a million strings.
namespace brevane {

class LogLines
{
public:
    /// The next bytes of the log; a line cut at the end waits for the rest.
    void append(QByteArrayView bytes);
    /// Keeps a last line that has no line break yet.
    void finish();
    void clear();

    qsizetype size() const { return qsizetype(m_lines.size()); }
    QByteArrayView line(qsizetype index) const;
    /// Bytes of the kept lines, line breaks excluded.
    qsizetype keptBytes() const { return m_keptBytes; }

private:
    struct LineRef {
        std::uint32_t block;
        std::uint32_t offset;
        std::uint32_t length;
    };
    void addBlock(QByteArray block);

    std::vector<QByteArray> m_blocks;
    std::vector<LineRef> m_lines;
    QByteArray m_partial;
    qsizetype m_keptBytes = 0;
};

/// Indexes of the lines holding `text`, letter case ignored; every line for
/// an empty text.
std::vector<qsizetype> linesContaining(const LogLines& lines, QByteArrayView text);

/// Indexes of the lines of one message's life: those about queue ID `id`
/// (received, queued, delivered or deferred, removed) and those that name it
/// as the bounce notice, the relayed copy or the requeued form of another
/// message (queueIdsOfLine).
std::vector<qsizetype> linesOfMessage(const LogLines& lines, QByteArrayView id);

/// The picked lines as the view shows them: newest first, at most `limit`.
QString newestFirst(const LogLines& lines, const std::vector<qsizetype>& picked, qsizetype limit);
/// The picked lines in their own order (a message's life reads forwards).
QString inOrder(const LogLines& lines, const std::vector<qsizetype>& picked, qsizetype limit);

/// A queue ID as someone may type or click it (isQueueId).
bool looksLikeQueueId(QByteArrayView text);

} // namespace brevane
