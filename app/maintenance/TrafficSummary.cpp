#include "maintenance/TrafficSummary.h"

#include "maintenance/MailLogLine.h"

#include <QDateTime>

#include <algorithm>
#include <cstring>

namespace brevane {

namespace {

constexpr std::int64_t hourSeconds = 3600;
constexpr std::int64_t daySeconds = 24 * hourSeconds;

std::uint64_t hashOf(std::string_view text)
{
    std::uint64_t hash = 1469598103934665603ull; // FNV-1a
    for (char c : text)
        hash = (hash ^ std::uint8_t(c)) * 1099511628211ull;
    return hash;
}

void count(std::unordered_map<std::string, int>& tally, std::string&& name)
{
    ++tally[std::move(name)];
}

std::vector<RankedName> topOf(const std::unordered_map<std::string, int>& tally, std::size_t top)
{
    std::vector<RankedName> ranked;
    ranked.reserve(tally.size());
    for (const auto& [name, n] : tally)
        ranked.push_back({name, n});
    std::sort(ranked.begin(), ranked.end(), [](const RankedName& a, const RankedName& b) {
        return a.count != b.count ? a.count > b.count : a.name < b.name;
    });
    if (ranked.size() > top)
        ranked.resize(top);
    return ranked;
}

int civilMonthOf(std::int64_t seconds)
{
    const QDate date = QDate(1970, 1, 1).addDays(seconds / daySeconds);
    return date.month();
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
    , m_year(QDate(1970, 1, 1).addDays(now / daySeconds).year())
    , m_month(civilMonthOf(now))
{
}

// Syslog's time stamps carry no year: a month after the current one is last
// year's (a log that spans New Year).
int TrafficSummarizer::yearFor(std::string_view line) const
{
    static constexpr std::string_view months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const std::size_t at = line.size() >= 3 ? months.find(line.substr(0, 3)) : std::string_view::npos;
    return at != std::string_view::npos && at % 3 == 0 && int(at / 3) + 1 > m_month ? m_year - 1 : m_year;
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

void TrafficSummarizer::feedLine(std::string_view line)
{
    const int year = yearFor(line);
    if (logLineTime(line, year) < m_start)
        return;
    const MailLogEvent event = parseMailLogLine(line, year);
    const std::int64_t time = event.time;
    using Kind = MailLogEvent::Kind;
    if (event.kind == Kind::Other)
        return;
    Hour& hour = m_hours[time / hourSeconds];
    switch (event.kind) {
    case Kind::Received:
        ++hour.counts.received;
        break;
    case Kind::SenderSeen:
        // qmgr names the sender again each time a deferred message is retried.
        if (m_sendersSeen.insert(hashOf(event.queueId)).second)
            count(hour.senderDomains, domainOf(event.address));
        break;
    case Kind::Delivered:
        ++hour.counts.delivered;
        count(hour.recipientDomains, domainOf(event.address));
        break;
    case Kind::Deferred:
        ++hour.counts.deferred;
        break;
    case Kind::Bounced:
        ++hour.counts.bounced;
        break;
    case Kind::Rejected:
        ++hour.counts.rejected;
        count(hour.rejectReasons, std::string(event.reason));
        break;
    case Kind::AuthFailed:
        ++hour.counts.authFailed;
        break;
    case Kind::Other:
        break;
    }
}

TrafficSummary TrafficSummarizer::summary(std::int64_t now, std::size_t top) const
{
    TrafficSummary summary;
    const std::int64_t lastHour = now / hourSeconds;
    const std::int64_t firstHour = lastHour - 23;
    summary.firstHour = int(((firstHour % 24) + 24) % 24);
    std::unordered_map<std::string, int> reasons, senders, recipients;
    const auto merge = [](std::unordered_map<std::string, int>& into, const Tally& from) {
        for (const auto& [name, n] : from)
            into[name] += n;
    };
    for (auto it = m_hours.lower_bound(firstHour); it != m_hours.end() && it->first <= lastHour; ++it) {
        summary.hours[std::size_t(it->first - firstHour)] += it->second.counts;
        summary.total += it->second.counts;
        merge(reasons, it->second.rejectReasons);
        merge(senders, it->second.senderDomains);
        merge(recipients, it->second.recipientDomains);
    }
    summary.topRejectReasons = topOf(reasons, top);
    summary.topSenderDomains = topOf(senders, top);
    summary.topRecipientDomains = topOf(recipients, top);
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

} // namespace

QString summaryText(const TrafficSummary& summary)
{
    const TrafficCounts& c = summary.total;
    QStringList lines{QStringLiteral("Last 24 hours: %1 received, %2 delivered, %3 deferred, %4 bounced, %5 rejected, "
                                     "%6 failed SMTP logins")
                          .arg(c.received)
                          .arg(c.delivered)
                          .arg(c.deferred)
                          .arg(c.bounced)
                          .arg(c.rejected)
                          .arg(c.authFailed)};
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
