// Any bytes as a mail log: the line parser, the summary, the kept lines and
// rspamd's verdicts and the root reader's reply must neither crash nor point outside the line.
#include "filtering/RspamdLog.h"
#include "maintenance/LogLines.h"
#include "maintenance/LogReading.h"
#include "maintenance/MailLogLine.h"
#include "maintenance/TrafficSummary.h"

#include <cstdint>
#include <cstdlib>

using namespace brevane;

namespace {

bool within(std::string_view part, std::string_view whole)
{
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MailLogEvent event = parseMailLogLine(bytes, 2026);
    if (!within(event.queueId, bytes) || !within(event.address, bytes) || !within(event.reason, bytes))
        std::abort();

    const std::int64_t now = civilSeconds(2026, 12, 8, 12, 0, 0);
    TrafficSummarizer summarizer(now);
    summarizer.feed(bytes.substr(0, size / 2));
    summarizer.feed(bytes.substr(size / 2));
    summarizer.finish();
    const TrafficSummary summary = summarizer.summary(now);
    if (summary.total.received < 0 || summary.topRejectReasons.size() > 5)
        std::abort();

    LogLines lines;
    lines.append(QByteArrayView(bytes.data(), qsizetype(size)));
    lines.finish();
    linesContaining(lines, "status=");
    if (lines.size() > 0) {
        const QByteArrayView first = lines.line(0);
        const std::string_view id = queueIdOfLine({first.data(), std::size_t(first.size())});
        linesOfMessage(lines, QByteArrayView(id.data(), qsizetype(id.size())));
    }
    parseChunkReply(QString::fromUtf8(bytes.data(), qsizetype(size)));
    for (const auto& verdict : filtering::rspamdVerdicts(QByteArrayView(bytes.data(), qsizetype(size)), "5CAC8CD"))
        filtering::verdictText(verdict);
    return 0;
}
