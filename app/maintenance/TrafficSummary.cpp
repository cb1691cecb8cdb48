#include "maintenance/TrafficSummary.h"

#include "maintenance/MailLogLine.h"

#include <QDateTime>

#include <algorithm>
#include <cstring>

namespace brevane {

namespace {

using Kind = MailLogEvent::Kind;
constexpr std::int64_t hourSeconds = 3600;
constexpr std::int64_t daySeconds = 24 * hourSeconds;
constexpr std::uint32_t noName = ~0u;

std::vector<RankedName> topOf(const std::vector<int>& counts, const std::vector<std::string>& names, std::size_t top)
{
    std::vector<RankedName> ranked;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] > 0)
            ranked.push_back({names[i], counts[i]});
    }
    const auto higher = [](const RankedName& a, const RankedName& b) {
        return a.count != b.count ? a.count > b.count : a.name < b.name;
    };
    const std::size_t kept = std::min(top, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + std::ptrdiff_t(kept), ranked.end(), higher);
    ranked.resize(kept);
    return ranked;
}

QDate dateOf(std::int64_t seconds)
{
    const std::int64_t days = seconds >= 0 ? seconds / daySeconds : (seconds - daySeconds + 1) / daySeconds;
    return QDate(1970, 1, 1).addDays(days);
}

// Which messages one summary has counted under which heading.
enum Seen : std::uint8_t {
    SeenReceived = 1,
    SeenSender = 2,
    SeenDelivered = 4,
    SeenDeferred = 8,
    SeenBounced = 16,
    SeenMarked = 32,
};

// Counts `bit` for `message` once per summary; true the first time.
bool firstTime(std::vector<std::uint8_t>& seen, std::uint32_t message, Seen bit)
{
    const bool first = !(seen[message] & bit);
    seen[message] |= bit;
    return first;
}

} // namespace

TrafficCounts& TrafficCounts::operator+=(const TrafficCounts& other)
{
    received += other.received;
    delivered += other.delivered;
    deferred += other.deferred;
    bounced += other.bounced;
    rejected += other.rejected;
    authFailed += other.authFailed;
    deferrals += other.deferrals;
    markedSpam += other.markedSpam;
    rejectedSpam += other.rejectedSpam;
    rejectedVirus += other.rejectedVirus;
    return *this;
}

std::string domainOf(std::string_view address)
{
    if (address.empty())
        return "<>";
    const std::size_t at = address.rfind('@');
    std::string domain(at == std::string_view::npos ? address : address.substr(at + 1));
    for (char& c : domain) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return domain;
}

std::int64_t localNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return civilSeconds(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second());
}

TrafficSummarizer::TrafficSummarizer(std::int64_t now)
    : m_start(now - daySeconds)
    , m_newest(now)
    , m_year(dateOf(now).year())
{
}

// Syslog's time stamps carry no year. A line's is the year that puts it
// latest but not after the newest time known (a day's grace for clocks):
// "Dec 31" read on New Year's Day is last year's, "Jan  1" followed past
// midnight on New Year's Eve next year's.
int TrafficSummarizer::yearFor(std::string_view line) const
{
    const std::int64_t time = logLineTime(line, m_year);
    if (time < 0)
        return m_year;
    if (time > m_newest + daySeconds)
        return m_year - 1;
    if (time < m_newest - 300 * daySeconds && logLineTime(line, m_year + 1) <= m_newest + daySeconds)
        return m_year + 1;
    return m_year;
}

void TrafficSummarizer::noteNewest(std::int64_t time)
{
    if (time <= m_newest)
        return;
    m_newest = time;
    while (m_newest >= civilSeconds(m_year + 1, 1, 1, 0, 0, 0))
        ++m_year;
}

void TrafficSummarizer::feed(std::string_view bytes)
{
    while (!bytes.empty()) {
        const auto* end = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
        if (!end) {
            m_partial.append(bytes);
            return;
        }
        const std::size_t length = std::size_t(end - bytes.data());
        if (m_partial.empty()) {
            feedLine(bytes.substr(0, length));
        } else {
            m_partial.append(bytes.substr(0, length));
            feedLine(m_partial);
            m_partial.clear();
        }
        bytes.remove_prefix(length + 1);
    }
}

void TrafficSummarizer::finish()
{
    if (!m_partial.empty())
        feedLine(m_partial);
    m_partial.clear();
}

std::uint32_t TrafficSummarizer::messageIndex(std::string_view queueId)
{
    if (const auto found = m_messages.find(queueId); found != m_messages.end())
        return found->second;
    const auto index = std::uint32_t(m_messages.size());
    m_messages.emplace(std::string(queueId), index);
    return index;
}

std::uint32_t TrafficSummarizer::nameIndex(std::string_view name)
{
    if (const auto found = m_nameIndexes.find(name); found != m_nameIndexes.end())
        return found->second;
    const auto index = std::uint32_t(m_names.size());
    m_names.emplace_back(name);
    m_nameIndexes.emplace(std::string(name), index);
    return index;
}

void TrafficSummarizer::feedLine(std::string_view line)
{
    const int year = yearFor(line);
    if (logLineTime(line, year) <= m_start)
        return;
    const MailLogEvent event = parseMailLogLine(line, year);
    noteNewest(event.time);
    if (event.kind == Kind::Other)
        return;
    std::uint32_t message = noName;
    if (event.kind == Kind::Requeued) {
        // The new ID goes on as the same message: it is not received anew.
        message = messageIndex(event.originalId);
        m_messages.insert_or_assign(std::string(event.queueId), message);
    } else if (!event.queueId.empty()) {
        message = messageIndex(event.queueId);
    }
    std::uint32_t name = noName;
    if (event.kind == Kind::Rejected || event.kind == Kind::SpamRejected || event.kind == Kind::VirusRejected)
        name = nameIndex(event.reason);
    else if (event.kind == Kind::SenderSeen || event.kind == Kind::Delivered)
        name = nameIndex(domainOf(event.address));
    m_records.push_back({event.time, message, name, std::uint8_t(event.kind)});
    // What lies a day and an hour before the newest line can never again
    // fall in a window: a log followed for days stays small.
    while (m_records.front().time < event.time - daySeconds - hourSeconds)
        m_records.pop_front();
}

TrafficSummary TrafficSummarizer::summary(std::int64_t now, std::size_t top) const
{
    TrafficSummary summary;
    summary.end = now;
    const std::int64_t start = now - daySeconds;
    std::vector<std::uint8_t> seen(m_messages.size() + 1);
    std::vector<int> reasons(m_names.size()), senders(m_names.size()), recipients(m_names.size());
    for (const Record& record : m_records) {
        if (record.time <= start || record.time > now)
            continue;
        TrafficCounts& hour = summary.hours[std::size_t((record.time - start - 1) / hourSeconds)];
        const std::uint32_t message = record.message == noName ? std::uint32_t(m_messages.size()) : record.message;
        const bool known = record.message != noName;
        switch (Kind(record.kind)) {
        case Kind::Received:
            hour.received += known && firstTime(seen, message, SeenReceived);
            break;
        case Kind::SenderSeen:
            // qmgr names the sender again each time a deferred message is retried.
            if (known && firstTime(seen, message, SeenSender))
                ++senders[record.name];
            break;
        case Kind::Delivered:
            hour.delivered += known && firstTime(seen, message, SeenDelivered);
            ++recipients[record.name];
            break;
        case Kind::Deferred:
            hour.deferred += known && firstTime(seen, message, SeenDeferred);
            ++hour.deferrals;
            break;
        case Kind::Bounced:
        case Kind::Expired:
            hour.bounced += known && firstTime(seen, message, SeenBounced);
            break;
        case Kind::SpamMarked:
            hour.markedSpam += known && firstTime(seen, message, SeenMarked);
            break;
        case Kind::SpamRejected:
        case Kind::VirusRejected:
            ++(Kind(record.kind) == Kind::SpamRejected ? hour.rejectedSpam : hour.rejectedVirus);
            [[fallthrough]];
        case Kind::Rejected:
            ++hour.rejected;
            ++reasons[record.name];
            break;
        case Kind::AuthFailed:
            ++hour.authFailed;
            break;
        case Kind::Requeued:
            // Its cleanup line follows under the new ID: not a new arrival.
            seen[message] |= SeenReceived;
            break;
        case Kind::Other:
            break;
        }
    }
    for (const TrafficCounts& hour : summary.hours)
        summary.total += hour;
    summary.topRejectReasons = topOf(reasons, m_names, top);
    summary.topSenderDomains = topOf(senders, m_names, top);
    summary.topRecipientDomains = topOf(recipients, m_names, top);
    return summary;
}

} // namespace brevane

namespace brevane {

namespace {

QString rankedList(const std::vector<RankedName>& ranked)
{
    QStringList items;
    for (const RankedName& entry : ranked)
        items << QStringLiteral("%1 (%2)").arg(QString::fromStdString(entry.name)).arg(entry.count);
    return items.join(QStringLiteral(", "));
}

// "Dec 8 14:05" of a time as MailLogEvent::time counts it.
QString clockText(std::int64_t seconds)
{
    const std::int64_t ofDay = seconds - QDate(1970, 1, 1).daysTo(dateOf(seconds)) * daySeconds;
    return QLocale::c().toString(dateOf(seconds), QStringLiteral("MMM d")) + u' '
         + QTime(0, 0).addSecs(int(ofDay)).toString(QStringLiteral("HH:mm"));
}

// One line of counts, each entry a counter and its words around "%1":
// "Messages: 6 received, 5 delivered, ...".
struct CountShown {
    int TrafficCounts::*counter;
    const char* words;
};

QString countLine(const TrafficCounts& counts, const char* heading, std::initializer_list<CountShown> shown)
{
    QStringList parts;
    for (const CountShown& entry : shown)
        parts << QString::fromLatin1(entry.words).arg(counts.*entry.counter);
    return QLatin1String(heading) + parts.join(QStringLiteral(", "));
}

} // namespace

QString summaryText(const TrafficSummary& summary)
{
    const TrafficCounts& c = summary.total;
    QStringList lines{
        QStringLiteral("Last 24 hours, since %1").arg(clockText(summary.end - daySeconds)),
        countLine(c, "Messages: ",
                  {{&TrafficCounts::received, "%1 received"},
                   {&TrafficCounts::delivered, "%1 delivered"},
                   {&TrafficCounts::deferred, "%1 deferred"},
                   {&TrafficCounts::bounced, "%1 bounced or expired"}}),
        countLine(c, "",
                  {{&TrafficCounts::deferrals, "Deferred delivery attempts: %1"},
                   {&TrafficCounts::rejected, "refusals: %1"},
                   {&TrafficCounts::authFailed, "failed SMTP logins: %1"}}),
    };
    if (c.markedSpam + c.rejectedSpam + c.rejectedVirus > 0)
        lines << countLine(c, "Filtering: ",
                           {{&TrafficCounts::markedSpam, "%1 marked as spam"},
                            {&TrafficCounts::rejectedSpam, "%1 rejected as spam"},
                            {&TrafficCounts::rejectedVirus, "%1 rejected: virus"}});
    const std::pair<const char*, const std::vector<RankedName>*> lists[] = {
        {"Top reject reasons: ", &summary.topRejectReasons},
        {"Top sender domains: ", &summary.topSenderDomains},
        {"Top recipient domains: ", &summary.topRecipientDomains},
    };
    for (const auto& [title, ranked] : lists) {
        if (!ranked->empty())
            lines << QLatin1String(title) + rankedList(*ranked);
    }
    return lines.join(u'\n');
}

} // namespace brevane
