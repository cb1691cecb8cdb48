#include "status/DnsStatus.h"

#include "deliverability/ServedCertificates.h"
#include "deliverability/UnboundResolver.h"

using namespace std::chrono_literals;

namespace brevane::status {

namespace {

    // Long enough for a few slow name servers, each question 3 s at most;
    // the lookups stop a question early so the row says what went unanswered.
    constexpr std::chrono::milliseconds dnsTimeLimit = 30s;
    constexpr std::chrono::milliseconds questionTime = 3s;

    int rank(State state)
    {
        return state == State::Red ? 2 : state == State::Yellow ? 1 : 0;
    }

    QString recordOf(const dns::CheckRow& row)
    {
        return row.group == QLatin1String(dns::serverGroup) ? QStringLiteral("%1 of this server").arg(row.record)
                                                            : row.record;
    }

    // What the Deliverability tab would have the administrator do.
    QString actionOf(const dns::CheckRow& row)
    {
        if (row.state == dns::CheckState::Unreachable)
            return QStringLiteral("check this machine's network and /etc/resolv.conf");
        // A suggestion led by a zone-file comment is an instruction itself.
        if (row.suggestion.startsWith(QLatin1String("; ")))
            return row.suggestion.mid(2);
        if (!row.suggestion.isEmpty())
            return QStringLiteral("publish %1").arg(row.suggestion);
        return row.expected;
    }

    // Answers no more once the time is up or nobody waits, so a check that
    // ran late ends soon after the engine has stopped waiting for it.
    dns::Lookup until(std::chrono::steady_clock::time_point deadline,
        const std::shared_ptr<const std::atomic_bool>& abandoned, dns::Lookup lookup)
    {
        return [deadline, abandoned, lookup = std::move(lookup)](const QString& name, dns::RecordType type) {
            if (std::chrono::steady_clock::now() >= deadline || (abandoned && abandoned->load()))
                return dns::Answer { dns::Outcome::Unreachable, {} };
            return lookup(name, type);
        };
    }

    QList<dns::CheckRow> checkDomain(const dns::CheckInput& input, const DnsStatusInputs& given)
    {
        const auto deadline = std::chrono::steady_clock::now() + dnsTimeLimit - questionTime;
        if (given.lookup)
            return dns::runChecks(input, until(deadline, given.abandoned, given.lookup), given.served);
        const std::shared_ptr<const std::atomic_bool> abandoned
            = given.abandoned ? given.abandoned : std::make_shared<std::atomic_bool>(false);
        dns::ResolverOptions options;
        options.abandoned = abandoned;
        options.timeoutMilliseconds = int(questionTime.count());
        dns::UnboundResolver resolver(options);
        dns::CheckInput asked = input;
        asked.validates = resolver.validates();
        return dns::runChecks(
            asked, until(deadline, abandoned, resolver.lookup()), [abandoned](const QString& address) {
                return dns::servedCertificates(address, int(questionTime.count()), abandoned);
            });
    }

} // namespace

State weightOf(const dns::CheckRow& row, bool signs)
{
    switch (row.state) {
    case dns::CheckState::Passed:
        return State::Green;
    case dns::CheckState::Unreachable:
        return State::Yellow;
    case dns::CheckState::Unjudged:
        // A resolver that passes on no signatures says nothing about the zone.
        return row.record == QLatin1String("DNSSEC") ? State::Green : State::Yellow;
    case dns::CheckState::Failed:
        break;
    }
    // Without DMARC receivers apply their own policy; unsigned mail is more
    // often junked but still taken. Everything else gets mail refused or
    // filed as spam.
    if (row.record == QLatin1String("DMARC") || (row.record == QLatin1String("DKIM") && !signs))
        return State::Yellow;
    return State::Red;
}

Result dnsRecordsRule(const QList<dns::CheckRow>& rows, bool signs)
{
    Result result { State::Green, {}, {}, {} };
    QStringList records;
    QStringList found;
    QStringList expected;
    QStringList actions;
    QStringList unanswered;
    for (const dns::CheckRow& row : rows) {
        records.append(recordOf(row));
        const State state = weightOf(row, signs);
        if (state == State::Green)
            continue;
        if (rank(state) > rank(result.state))
            result.state = state;
        const QString action = actionOf(row);
        if (!actions.contains(action))
            actions.append(action);
        // A silent server silences every record alike: said once.
        if (row.state == dns::CheckState::Unreachable) {
            unanswered.append(recordOf(row));
            continue;
        }
        found.append(QStringLiteral("%1: %2").arg(recordOf(row), row.found));
        expected.append(QStringLiteral("%1: %2").arg(recordOf(row), row.expected));
    }
    if (!unanswered.isEmpty()) {
        found.append(
            QStringLiteral("%1 for %2").arg(QLatin1String(dns::unreachableText), unanswered.join(QLatin1String(", "))));
        expected.append(QStringLiteral("answers from the name servers in /etc/resolv.conf"));
    }
    records.removeDuplicates();
    if (rows.isEmpty()) {
        result.state = State::Yellow;
        result.found = QStringLiteral("No record was looked up.");
        result.whatToDo = QStringLiteral("Set the mail domain on the Outgoing tab.");
    } else if (result.state == State::Green) {
        result.found = QStringLiteral("%1 as expected.").arg(records.join(QLatin1String(", ")));
    } else {
        result.found = found.join(QLatin1String("; ")) + u'.';
        result.expected = expected.join(QLatin1String("; ")) + u'.';
        actions.first()[0] = actions.first().at(0).toUpper();
        result.whatToDo = actions.join(QLatin1String("; "))
            + QStringLiteral(". The Deliverability tab shows "
                             "every record (Check DNS).");
    }
    if (result.expected.isEmpty())
        result.expected = QStringLiteral("The records other mail servers look at, as they expect them.");
    return result;
}

QList<Check> dnsChecks(const DnsStatusInputs& inputs)
{
    QList<Check> checks;
    for (const QString& domain : inputs.domains) {
        const QString key = inputs.publicKeys.value(domain);
        const dns::CheckInput input { { domain }, inputs.selector, { { domain, key } }, inputs.publicAddress };
        checks.append({ QStringLiteral("dns:") + domain, QStringLiteral("DNS of %1").arg(domain), dnsTimeLimit,
            [input, inputs, signs = !key.isEmpty()] { return dnsRecordsRule(checkDomain(input, inputs), signs); } });
    }
    return checks;
}

} // namespace brevane::status
