#include "maintenance/LogLines.h"

#include "maintenance/MailLogLine.h"
#include "maintenance/QueueId.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace brevane {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string_view viewOf(QByteArrayView bytes)
{
    return {bytes.data(), std::size_t(bytes.size())};
}

struct CaselessHash {
    std::size_t operator()(char c) const { return std::hash<char>()(lower(c)); }
};
struct CaselessEqual {
    bool operator()(char a, char b) const { return lower(a) == lower(b); }
};

QString joined(const LogLines& lines, const std::vector<qsizetype>& picked, qsizetype limit, bool reversed)
{
    const qsizetype count = std::min<qsizetype>(limit, qsizetype(picked.size()));
    QString text;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype index = reversed ? picked[picked.size() - 1 - std::size_t(i)] : picked[std::size_t(i)];
        text += QString::fromUtf8(lines.line(index));
        text += u'\n';
    }
    return text;
}

} // namespace

void LogLines::addBlock(QByteArray block)
{
    const auto blockIndex = std::uint32_t(m_blocks.size());
    const char* data = block.constData();
    // The block holds whole lines joined by line breaks: one more line than breaks.
    qsizetype start = 0;
    for (;;) {
        const auto* end = static_cast<const char*>(std::memchr(data + start, '\n', std::size_t(block.size() - start)));
        const qsizetype length = end ? end - (data + start) : block.size() - start;
        m_lines.push_back({blockIndex, std::uint32_t(start), std::uint32_t(length)});
        m_keptBytes += length;
        if (!end)
            break;
        start += length + 1;
    }
    m_blocks.push_back(std::move(block));
}

void LogLines::append(QByteArrayView bytes)
{
    const qsizetype lastBreak = bytes.lastIndexOf('\n');
    if (lastBreak < 0) {
        m_partial.append(bytes);
        return;
    }
    QByteArray block = m_partial;
    block.append(bytes.first(lastBreak));
    m_partial = bytes.sliced(lastBreak + 1).toByteArray();
    addBlock(std::move(block));
}

void LogLines::finish()
{
    if (!m_partial.isEmpty())
        addBlock(std::exchange(m_partial, {}));
}

void LogLines::clear()
{
    m_blocks.clear();
    m_lines.clear();
    m_partial.clear();
    m_keptBytes = 0;
}

QByteArrayView LogLines::line(qsizetype index) const
{
    const LineRef& ref = m_lines.at(std::size_t(index));
    return QByteArrayView(m_blocks[ref.block]).sliced(ref.offset, ref.length);
}

std::vector<qsizetype> linesContaining(const LogLines& lines, QByteArrayView text)
{
    std::vector<qsizetype> found;
    const std::string_view needle = viewOf(text);
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end(), CaselessHash(), CaselessEqual());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::string_view line = viewOf(lines.line(i));
        if (std::search(line.begin(), line.end(), searcher) != line.end() || needle.empty())
            found.push_back(i);
    }
    return found;
}

std::vector<qsizetype> linesOfMessage(const LogLines& lines, QByteArrayView id)
{
    std::vector<qsizetype> found;
    const std::string_view wanted = viewOf(id);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::string_view line = viewOf(lines.line(i));
        if (line.find(wanted) == std::string_view::npos)
            continue;
        const std::vector<std::string_view> named = queueIdsOfLine(line);
        if (std::find(named.begin(), named.end(), wanted) != named.end())
            found.push_back(i);
    }
    return found;
}

QString newestFirst(const LogLines& lines, const std::vector<qsizetype>& picked, qsizetype limit)
{
    return joined(lines, picked, limit, true);
}

QString inOrder(const LogLines& lines, const std::vector<qsizetype>& picked, qsizetype limit)
{
    return joined(lines, picked, limit, false);
}

bool looksLikeQueueId(QByteArrayView text)
{
    return isQueueId(viewOf(text));
}

} // namespace brevane
