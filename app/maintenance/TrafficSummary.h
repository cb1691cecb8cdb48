#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// "Is mail flowing, and what was refused?": counts of the last 24 hours of a
// Postfix mail log, hour by hour, fed the log's bytes in pieces of any size.
namespace brevane {

struct TrafficCounts {
    int received = 0;
    int delivered = 0;
    int deferred = 0;
    int bounced = 0;
    int rejected = 0;
    int authFailed = 0;

    TrafficCounts& operator+=(const TrafficCounts& other);
    bool operator==(const TrafficCounts&) const = default;
};

struct RankedName {
    std::string name;
    int count = 0;
    bool operator==(const RankedName&) const = default;
};

struct TrafficSummary {
    TrafficCounts total;
    /// The 24 hours ending with the current one, oldest first.
    std::array<TrafficCounts, 24> hours{};
    /// Hour of the day (0–23) of hours[0].
    int firstHour = 0;
    std::vector<RankedName> topRejectReasons;
    std::vector<RankedName> topSenderDomains;
    std::vector<RankedName> topRecipientDomains;
};

/// Counts the traffic lines of a mail log fed in order, oldest first.
/// `now` is the wall-clock time in the log's own reckoning (see
/// MailLogEvent::time); lines older than 24 hours before it are skipped
/// without being kept. Only counts are kept, never lines.
class TrafficSummarizer
{
public:
    explicit TrafficSummarizer(std::int64_t now);

    /// The next bytes of the log; a line cut at the end waits for the rest.
    void feed(std::string_view bytes);
    /// The last line when the log does not end with a line break.
    void finish();

    /// The 24 hours ending at `now` (which may have moved on since the
    /// start: hours that fell out of the window drop out of the counts).
    TrafficSummary summary(std::int64_t now, std::size_t top = 5) const;

private:
    using Tally = std::unordered_map<std::string, int>;
    struct Hour {
        TrafficCounts counts;
        Tally rejectReasons, senderDomains, recipientDomains;
    };

    void feedLine(std::string_view line);
    int yearFor(std::string_view line) const;

    std::int64_t m_start;
    int m_year;
    int m_month;
    std::string m_partial;
    std::map<std::int64_t, Hour> m_hours; // by hour since 1970
    std::unordered_set<std::uint64_t> m_sendersSeen;
};

/// "example.org" of "joe@Example.ORG"; "<>" for the null sender (bounces);
/// the address itself when it has no domain ("root").
std::string domainOf(std::string_view address);

/// The wall-clock now as MailLogEvent::time counts it (local time).
std::int64_t localNow();

} // namespace brevane

namespace brevane {

/// The summary's lines as the log tab shows them: the counts, then the top
/// refusals, sender and recipient domains (lines left out when empty).
QString summaryText(const TrafficSummary& summary);

} // namespace brevane
