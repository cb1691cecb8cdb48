#include "status/DnsStatus.h"

#include <gtest/gtest.h>

using namespace brevane;
using namespace brevane::status;

namespace {

dns::CheckRow row(const char* record, dns::CheckState state, const char* suggestion = "")
{
    return { "example.com", record, "example.com", state, QStringLiteral("found %1").arg(record),
        QStringLiteral("expected %1").arg(record), suggestion };
}

} // namespace

// Which Deliverability verdicts cost mail, which only weaken it.
TEST(DnsStatus, WeighsEachRecordByWhatReceiversDo)
{
    using S = dns::CheckState;
    const std::tuple<const char*, S, bool, State> cases[] = {
        { "MX", S::Failed, true, State::Red },
        { "SPF", S::Failed, false, State::Red },
        { "PTR", S::Failed, false, State::Red },
        { "DNSSEC", S::Failed, false, State::Red },
        { "TLSA", S::Failed, false, State::Red },
        { "DKIM", S::Failed, true, State::Red },
        { "DKIM", S::Failed, false, State::Yellow },
        { "DMARC", S::Failed, true, State::Yellow },
        { "SPF", S::Unreachable, true, State::Yellow },
        { "PTR", S::Unjudged, true, State::Yellow },
        { "DNSSEC", S::Unjudged, true, State::Green },
        { "MX", S::Passed, true, State::Green },
    };
    for (const auto& [record, state, signs, weight] : cases)
        EXPECT_EQ(weightOf(row(record, state), signs), weight) << record << int(state) << signs;
}

TEST(DnsStatus, TheWorstRecordDecidesAndEachNamesWhatToDo)
{
    const QList<dns::CheckRow> rows { row("MX", dns::CheckState::Passed),
        row("SPF", dns::CheckState::Failed, "example.com. IN TXT \"v=spf1 mx -all\""),
        row("DMARC", dns::CheckState::Failed, "_dmarc.example.com. IN TXT \"v=DMARC1; p=none\""),
        row("DNSSEC", dns::CheckState::Failed, "; example.com: sign the zone again") };
    const Result result = dnsRecordsRule(rows, true);
    EXPECT_EQ(result.state, State::Red);
    EXPECT_EQ(result.found, "SPF: found SPF; DMARC: found DMARC; DNSSEC: found DNSSEC.");
    EXPECT_EQ(result.whatToDo,
        "Publish example.com. IN TXT \"v=spf1 mx -all\"; publish _dmarc.example.com. IN TXT \"v=DMARC1; p=none\"; "
        "example.com: sign the zone again. The Deliverability tab shows every record (Check DNS).");

    EXPECT_EQ(dnsRecordsRule({ rows.first(), row("DMARC", dns::CheckState::Failed) }, true).state, State::Yellow);
    const Result green = dnsRecordsRule({ rows.first() }, true);
    EXPECT_EQ(green.state, State::Green);
    EXPECT_EQ(green.found, "MX as expected.");
    EXPECT_TRUE(green.whatToDo.isEmpty());
    EXPECT_EQ(dnsRecordsRule({}, true).state, State::Yellow);
}

// A window closing abandons the DNS check: nothing more is asked.
TEST(DnsStatus, AnAbandonedCheckAsksNothingMore)
{
    auto asked = std::make_shared<std::atomic_int>(0);
    DnsStatusInputs inputs { { "x.example" }, "k", {}, "192.0.2.25",
        [asked](const QString&, dns::RecordType) {
            ++*asked;
            return dns::Answer {};
        },
        {}, std::make_shared<std::atomic_bool>(true) };
    const Result result = runChecks(dnsChecks(inputs)).value(0).result;
    EXPECT_EQ(asked->load(), 0);
    EXPECT_EQ(result.state, State::Yellow);
    EXPECT_EQ(result.found, "DNS not reachable for PTR of this server, MX, A/AAAA, SPF, DKIM, DMARC, DNSSEC, TLSA.");
}
