#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// "Is mail flowing, and what was refused?": counts of the 24 hours up to now
// of a Postfix mail log, in 24 slices of an hour, fed the log's bytes in
// pieces of any size.
namespace brevane {

/// Messages are counted once each, however many lines Postfix writes about
/// them: a message deferred four times is one deferred message (and four
/// deferrals), a message to three recipients one delivered message, and a
/// requeued one (postsuper -r) is not received again. A counter added here
/// is shown once it has a line in summaryText's table.
struct TrafficCounts {
    int received = 0;   ///< messages taken in
    int delivered = 0;  ///< messages delivered to at least one recipient
    int deferred = 0;   ///< messages deferred at least once
    int bounced = 0;    ///< messages returned: a recipient bounced, or expired
    int rejected = 0;   ///< refusals: of a recipient, a client or a message
    int authFailed = 0; ///< failed SMTP logins
    int deferrals = 0;  ///< delivery attempts that ended deferred
    int markedSpam = 0;    ///< messages the filter marked as spam
    int rejectedSpam = 0;  ///< messages the filter refused as spam (refusals too)
    int rejectedVirus = 0; ///< messages refused for a virus (refusals too)

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
    /// The 24 hours before `end`, oldest first: hours[23] holds (end − 1 h,
    /// end], hours[0] (end − 24 h, end − 23 h]. A message counts in the hour
    /// of its first line of that kind within the 24 hours.
    std::array<TrafficCounts, 24> hours{};
    /// The summary's now, as MailLogEvent::time counts it.
    std::int64_t end = 0;
    std::vector<RankedName> topRejectReasons;
    std::vector<RankedName> topSenderDomains;
    std::vector<RankedName> topRecipientDomains;
};

/// Counts the traffic lines of a mail log fed in order, oldest first.
/// `now` is the wall-clock time in the log's own reckoning (see
/// MailLogEvent::time); lines older than 24 hours before it are skipped
/// without being kept. Keeps one small record per counted line, never lines.
class TrafficSummarizer
{
public:
    explicit TrafficSummarizer(std::int64_t now);

    /// The next bytes of the log; a line cut at the end waits for the rest.
    void feed(std::string_view bytes);
    /// The last line when the log does not end with a line break.
    void finish();

    /// The 24 hours up to `now` to the second (which may have moved on since
    /// the start: what fell out of the window drops out of the counts).
    TrafficSummary summary(std::int64_t now, std::size_t top = 5) const;

private:
    struct Record {
        std::int64_t time;
        std::uint32_t message; // by messageIndex; requeued IDs share their message's
        std::uint32_t name;    // by nameIndex: domain or reason, where the kind has one
        std::uint8_t kind;     // MailLogEvent::Kind
    };
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    using Index = std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>>;

    void feedLine(std::string_view line);
    int yearFor(std::string_view line) const;
    void noteNewest(std::int64_t time);
    std::uint32_t messageIndex(std::string_view queueId);
    std::uint32_t nameIndex(std::string_view name);

    std::int64_t m_start;
    std::int64_t m_newest; // the latest of now and the lines' times
    int m_year;            // m_newest's
    std::string m_partial;
    std::deque<Record> m_records;
    Index m_messages;
    Index m_nameIndexes;
    std::vector<std::string> m_names;
};

/// "example.org" of "joe@Example.ORG"; "<>" for the null sender (bounces);
/// the address itself when it has no domain ("root"). The domain is what
/// follows the last "@", so a quoted local part cannot name one.
std::string domainOf(std::string_view address);

/// The wall-clock now as MailLogEvent::time counts it (local time).
std::int64_t localNow();

} // namespace brevane

namespace brevane {

/// The summary's lines as the log tab shows them: the window with its start,
/// the counts, what the filter did (once it did anything), then the top refusals, sender and recipient domains (lines
/// left out when empty).
QString summaryText(const TrafficSummary& summary);

} // namespace brevane
