// The verdicts of the checks from outside, from what probes and DNS answered.
#include "status/OutsideChecks.h"
#include "status/OutsideSettings.h"

#include <gtest/gtest.h>

using namespace brevane;
using namespace brevane::status;

TEST(OutsideRules, VantageTakesSshAndNamespacesAndRefusesAnythingThatRunsACommand)
{
    const QStringList ssh { "ssh", "-o", "BatchMode=yes" };
    const QStringList timeout { "-o", "ConnectTimeout=5" };
    const std::pair<const char*, QStringList> cases[] = {
        { "ann@relay.example", ssh + timeout + QStringList { "ann@relay.example" } },
        { " ssh  -p 2222 -o ConnectTimeout=3 ann@192.0.2.7 ",
            ssh + QStringList { "-p", "2222", "-o", "ConnectTimeout=3" } + timeout + QStringList { "ann@192.0.2.7" } },
        { "ip netns exec outside", { "ip", "netns", "exec", "outside" } },
    };
    for (const auto& [text, command] : cases) {
        const Vantage vantage = readVantage(QString::fromLatin1(text));
        EXPECT_EQ(vantage.command, command) << text;
        EXPECT_EQ(vantage.error, "") << text;
    }
    EXPECT_EQ(readVantage(" ").error, "");
    for (const char* text :
        { "ssh -o ProxyCommand=sh ann@h.example", "ssh -o BatchMode=no ann@h.example", "ssh -oProxyCommand=x h.example",
            "ssh ann@h.example; rm -rf /", "ssh $(id)@h.example", "ssh h.example extra", "ssh -p 0 h.example", "ssh",
            "ssh -bad@h.example", "ip netns exec -x", "curl h.example" }) {
        const Vantage vantage = readVantage(QString::fromLatin1(text));
        EXPECT_TRUE(vantage.command.isEmpty() && !vantage.error.isEmpty()) << text;
    }
}

TEST(OutsideRules, PortsAreSmtpTheExtraPortsAndTheOfferedServicesOnceEachJudgedByItsOwnLine)
{
    const QList<PortToProbe> ports = portsToProbe("587, 465 25 127.0.0.1:2525 submission", { { "POP3", 110 } });
    ASSERT_EQ(ports.size(), 4);
    EXPECT_EQ(ports.at(1).port, 587);
    EXPECT_EQ(ports.at(2).port, 465);
    EXPECT_EQ(ports.at(3).name, "POP3");
    const std::tuple<const char*, bool, State> cases[] = {
        { "port 25 refused\nport 587 open\n", true, State::Green },
        { "port 587 refused\n", true, State::Red },
        { "port 587 timeout\n", true, State::Red },
        { "port 587 unresolved\n", true, State::Yellow },
        { "port 5870 open\n", true, State::Yellow },
        { "port 587 open\n", false, State::Yellow },
    };
    for (const auto& [output, ran, state] : cases)
        EXPECT_EQ(portRule(ports.at(1), "ssh h", QString::fromLatin1(output), ran).state, state) << output;
}

TEST(OutsideRules, RelayIsRedOnlyWhenRcptToAnOutsideDomainIsAccepted)
{
    const QString head = "greeting 220 mx ESMTP\nehlo 250 SMTPUTF8\nmail 250 2.1.0 Ok\n";
    const std::pair<State, QStringList> cases[] = {
        { State::Green,
            { head + "rcpt 554 5.7.1 <x@y.invalid>: Relay access denied\n",
                head + "rcpt 454 4.7.1 <x@y.invalid>: Relay access denied\n" } },
        { State::Red, { head + "rcpt 250 2.1.5 Ok\n", head + "rcpt 251 User not local; will forward\n" } },
        { State::Yellow,
            { head + "rcpt 450 4.1.2 Domain not found\n", head + "rcpt\n", head + "rcpt 2500 Ok\n",
                "greeting 554 no service\n", "greeting 220 mx\nehlo 250 ok\nmail 553 5.1.8 sender refused\n",
                "connect failed\n" } },
    };
    for (const auto& [state, outputs] : cases)
        for (const QString& output : outputs)
            EXPECT_EQ(relayRule("x@y.invalid", output, true).state, state) << output.toStdString();
    EXPECT_EQ(relayRule("x@y.invalid", "Permission denied (publickey).\n", false).state, State::Yellow);
}

TEST(OutsideRules, ListingNamesReverseOctetsAndNibblesAndOnlyListingCodesCount)
{
    EXPECT_EQ(listingName("192.0.2.99", "zen.spamhaus.org"), "99.2.0.192.zen.spamhaus.org");
    EXPECT_EQ(listingName("2001:db8:1:2::ab", "l.example"),
        "b.a.0.0.0.0.0.0.0.0.0.0.0.0.0.0.2.0.0.0.1.0.0.0.8.b.d.0.1.0.0.2.l.example");
    EXPECT_EQ(listingName("mail.example", "l.example"), "");
    using dns::Outcome;
    const std::tuple<Outcome, QStringList, Listing> cases[] = {
        { Outcome::NoRecord, {}, Listing::NotListed },
        { Outcome::Unreachable, {}, Listing::Unreachable },
        { Outcome::Found, { "127.0.0.2" }, Listing::Listed },
        { Outcome::Found, { "127.0.0.10", "127.0.0.4" }, Listing::Listed },
        { Outcome::Found, { "127.255.255.254" }, Listing::Refused },
        { Outcome::Found, { "127.0.0.1" }, Listing::Broken },
        { Outcome::Found, { "198.51.100.4" }, Listing::Broken },
        { Outcome::Found, { "garbage" }, Listing::Broken },
    };
    for (const auto& [outcome, values, listing] : cases)
        EXPECT_EQ(classifyListing({ outcome, values }), listing) << values.join(' ').toStdString();
}

TEST(OutsideRules, BlockListsAskTheTestEntryAndReadTheReasonOfAListing)
{
    // 192.0.2.9 is listed on a.example; b.example lists nothing, not even its test entry.
    const dns::Lookup lookup = [](const QString& name, dns::RecordType type) -> dns::Answer {
        if (name != "9.2.0.192.a.example" && name != "2.0.0.127.a.example")
            return {};
        return { dns::Outcome::Found, { type == dns::RecordType::TXT ? "spam\nseen" : "127.0.0.2" } };
    };
    const QList<ZoneFinding> findings
        = askBlockLists({ "192.0.2.9", "192.0.2.10" }, { "a.example", "b.example" }, lookup);
    ASSERT_EQ(findings.size(), 4);
    const Result result = blockListRule(findings, { "192.0.2.9", "192.0.2.10" });
    EXPECT_EQ(result.state, State::Red);
    EXPECT_TRUE(result.found.contains("192.0.2.9 on a.example: LISTED (spam seen)")) << result.found.toStdString();
    EXPECT_EQ(blockListRule({ findings.at(1) }, { "192.0.2.10" }).state, State::Green);
    EXPECT_EQ(blockListRule({ findings.at(2) }, { "192.0.2.9" }).state, State::Yellow);
    EXPECT_EQ(blockListRule({}, {}).state, State::Yellow);
}

TEST(OutsideRules, SettingsReachTheChecksAndWhatIsUnusableIsNamedAndLeftOut)
{
    OutsideInputs given;
    given.target = "mail.example";
    const OutsideInputs usable = applySettings(given,
        { "ann@h.example", "192.0.2.5", "probe@other.example", "zen.spamhaus.org\n# a comment\nBL.SpamCop.net\n" });
    EXPECT_EQ(usable.target, "192.0.2.5");
    EXPECT_EQ(usable.relayRecipient, "probe@other.example");
    EXPECT_EQ(usable.blockZones, (QStringList { "zen.spamhaus.org", "bl.spamcop.net" }));
    EXPECT_EQ(settingsProblems({ "ann@h.example", "192.0.2.5", "probe@other.example", "l.example" }), QStringList {});
    // A final line break would end the vantage's remote command early.
    EXPECT_FALSE(isHostOrAddress("mail.example\n") || isPlainMailAddress("probe@other.example\n"));

    const OutsideSettings bad { "ssh -o ProxyCommand=x h.example", "", "x y@z",
        "localhost\na..b\n192.0.2.1\nx.example;" };
    const OutsideInputs kept = applySettings(given, bad);
    EXPECT_EQ(kept.target, "mail.example");
    EXPECT_EQ(kept.relayRecipient, OutsideInputs {}.relayRecipient);
    EXPECT_TRUE(kept.blockZones.isEmpty());
    const QStringList said = settingsProblems(bad);
    ASSERT_EQ(said.size(), 3) << said.join('|').toStdString();
    EXPECT_EQ(said.at(2), "Not block list names, left out: localhost, a..b, 192.0.2.1, x.example;.");
}
