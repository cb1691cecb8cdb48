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
    const struct {
        const char* text;
        QStringList command; // empty: refused
    } cases[] = {
        { "", {} },
        { "ann@relay.example", ssh + timeout + QStringList { "ann@relay.example" } },
        { " ssh  -p 2222 -o ConnectTimeout=3 ann@192.0.2.7 ",
            ssh + QStringList { "-p", "2222", "-o", "ConnectTimeout=3" } + timeout + QStringList { "ann@192.0.2.7" } },
        { "ip netns exec outside", { "ip", "netns", "exec", "outside" } },
        { "ssh -o ProxyCommand=sh ann@h.example", {} },
        { "ssh -o BatchMode=no ann@h.example", {} },
        { "ssh ann@h.example; rm -rf /", {} },
        { "ssh $(id)@h.example", {} },
        { "ssh -oProxyCommand=x h.example", {} },
        { "ssh h.example extra", {} },
        { "ssh -p 0 h.example", {} },
        { "ssh -l", {} },
        { "-F", {} },
        { "ssh", {} },
        { "ip netns exec -x", {} },
        { "ip netns exec a b", {} },
        { "curl h.example", {} },
        { "ssh -bad@h.example", {} },
    };
    for (const auto& c : cases) {
        const Vantage vantage = readVantage(QString::fromLatin1(c.text));
        EXPECT_EQ(vantage.command, c.command) << c.text;
        EXPECT_EQ(vantage.error.isEmpty(), !c.command.isEmpty() || !*c.text) << c.text;
    }
}

TEST(OutsideRules, PortsAreSmtpTheExtraPortsAndTheOfferedServicesOnce)
{
    const QList<PortToProbe> ports = portsToProbe("587, 465 25 127.0.0.1:2525 submission", { { "POP3", 110 } });
    QList<int> numbers;
    for (const PortToProbe& port : ports)
        numbers.append(port.port);
    EXPECT_EQ(numbers, (QList<int> { 25, 587, 465, 110 }));
    EXPECT_EQ(ports.at(1).name, "submission");
}

TEST(OutsideRules, PortVerdictsFollowTheProbeLineForThatPortOnly)
{
    const PortToProbe port { "submission", 587 };
    const struct {
        const char* output;
        bool ran;
        State state;
    } cases[] = {
        { "port 25 refused\nport 587 open\n", true, State::Green },
        { "port 587 refused\n", true, State::Red },
        { "port 587 timeout\n", true, State::Red },
        { "port 587 unresolved\n", true, State::Yellow },
        { "port 25 open\n", true, State::Yellow },
        { "port 5870 open\n", true, State::Yellow },
        { "ssh: connect to host h port 22: Connection refused\n", false, State::Yellow },
        { "port 587 open\n", false, State::Yellow },
    };
    for (const auto& c : cases)
        EXPECT_EQ(portRule(port, "ssh h", QString::fromLatin1(c.output), c.ran).state, c.state) << c.output;
}

TEST(OutsideRules, RelayIsRedOnlyWhenRcptToAnOutsideDomainIsAccepted)
{
    const QString head = "greeting 220 mx ESMTP\nehlo 250 SMTPUTF8\nmail 250 2.1.0 Ok\n";
    const struct {
        QString output;
        bool ran;
        State state;
    } cases[] = {
        { head + "rcpt 554 5.7.1 <x@y.invalid>: Relay access denied\nrset 250\nquit 221\n", true, State::Green },
        { head + "rcpt 454 4.7.1 <x@y.invalid>: Relay access denied\n", true, State::Green },
        { head + "rcpt 250 2.1.5 Ok\nrset 250 2.0.0 Ok\n", true, State::Red },
        { head + "rcpt 251 User not local; will forward\n", true, State::Red },
        { head + "rcpt 450 4.1.2 Domain not found\n", true, State::Yellow },
        { head + "rcpt\n", true, State::Yellow },
        { head + "rcpt 2500 Ok\n", true, State::Yellow },
        { "greeting 554 no service\n", true, State::Yellow },
        { "greeting 220 mx\nehlo 250 ok\nmail 553 5.1.8 sender refused\n", true, State::Yellow },
        { "connect failed\n", true, State::Yellow },
        { "Permission denied (publickey).\n", false, State::Yellow },
    };
    for (const auto& c : cases)
        EXPECT_EQ(relayRule("x@y.invalid", c.output, c.ran).state, c.state) << c.output.toStdString();
    EXPECT_TRUE(relayRule("x@y.invalid", head + "rcpt 250 Ok\n", true).found.startsWith("Open relay"));
}

TEST(OutsideRules, ListingNamesReverseOctetsAndNibbles)
{
    EXPECT_EQ(listingName("192.0.2.99", "zen.spamhaus.org"), "99.2.0.192.zen.spamhaus.org");
    EXPECT_EQ(listingName("2001:db8:1:2::ab", "l.example"),
        "b.a.0.0.0.0.0.0.0.0.0.0.0.0.0.0.2.0.0.0.1.0.0.0.8.b.d.0.1.0.0.2.l.example");
    EXPECT_EQ(listingName("mail.example", "l.example"), "");
}

TEST(OutsideRules, OnlyListingCodesCountAsListed)
{
    using dns::Outcome;
    const struct {
        Outcome outcome;
        QStringList values;
        Listing listing;
    } cases[] = {
        { Outcome::NoRecord, {}, Listing::NotListed },
        { Outcome::Unreachable, {}, Listing::Unreachable },
        { Outcome::Found, { "127.0.0.2" }, Listing::Listed },
        { Outcome::Found, { "127.0.0.10", "127.0.0.4" }, Listing::Listed },
        { Outcome::Found, { "127.255.255.254" }, Listing::Refused },
        { Outcome::Found, { "127.255.255.255" }, Listing::Refused },
        { Outcome::Found, { "127.0.0.1" }, Listing::Broken },
        { Outcome::Found, { "198.51.100.4" }, Listing::Broken },
        { Outcome::Found, { "garbage" }, Listing::Broken },
    };
    for (const auto& c : cases)
        EXPECT_EQ(classifyListing({ c.outcome, c.values }), c.listing) << c.values.join(' ').toStdString();
}

TEST(OutsideRules, BlockListsAskTheTestEntryAndReadTheReasonOfAListing)
{
    // 192.0.2.9 is listed on a.example; b.example answers nothing at all.
    const dns::Lookup lookup = [](const QString& name, dns::RecordType type) -> dns::Answer {
        if (name == "9.2.0.192.a.example" || name == "2.0.0.127.a.example")
            return type == dns::RecordType::TXT ? dns::Answer { dns::Outcome::Found, { "spam\nseen" } }
                                                : dns::Answer { dns::Outcome::Found, { "127.0.0.2" } };
        return {};
    };
    const QList<ZoneFinding> findings
        = askBlockLists({ "192.0.2.9", "192.0.2.10" }, { "a.example", "b.example" }, lookup);
    ASSERT_EQ(findings.size(), 4);
    EXPECT_EQ(findings.at(0).listing, Listing::Listed);
    EXPECT_EQ(findings.at(0).reason, "spam seen");
    EXPECT_FALSE(findings.at(1).testEntryMissing);
    EXPECT_TRUE(findings.at(2).testEntryMissing);
    const Result result = blockListRule(findings, { "192.0.2.9", "192.0.2.10" });
    EXPECT_EQ(result.state, State::Red);
    EXPECT_TRUE(result.found.contains("192.0.2.9 on a.example: LISTED (spam seen)")) << result.found.toStdString();
    EXPECT_EQ(blockListRule({ findings.at(1) }, { "192.0.2.10" }).state, State::Green);
    EXPECT_EQ(blockListRule({ findings.at(2) }, { "192.0.2.9" }).state, State::Yellow);
    EXPECT_EQ(blockListRule({}, {}).state, State::Yellow);
}

TEST(OutsideRules, ZonesAreHostNamesOneALine)
{
    QStringList bad;
    EXPECT_EQ(readZones("zen.spamhaus.org\n# a comment\n\nBL.SpamCop.net  \nbl.spamcop.net\nlocalhost\n"
                        "a..b\n-x.example\n192.0.2.1\nx.example; rm\n",
                  &bad),
        (QStringList { "zen.spamhaus.org", "bl.spamcop.net" }));
    EXPECT_EQ(bad, (QStringList { "localhost", "a..b", "-x.example", "192.0.2.1", "x.example; rm" }));
    EXPECT_TRUE(isPlainMailAddress("relay-test@brevane-relay-check.invalid"));
    for (const char* address : { "a@b", "a b@c.example", "@c.example", "a@c.example>", "$(x)@c.example" })
        EXPECT_FALSE(isPlainMailAddress(QString::fromLatin1(address))) << address;
}

TEST(OutsideRules, SettingsReachTheChecksAndWhatIsUnusableIsNamedAndLeftOut)
{
    OutsideInputs given;
    given.target = "mail.example";
    const OutsideInputs usable
        = applySettings(given, { "ann@h.example", "192.0.2.5", "probe@other.example", "l.example\nnot a zone\n" });
    EXPECT_EQ(usable.vantage, "ann@h.example");
    EXPECT_EQ(usable.target, "192.0.2.5");
    EXPECT_EQ(usable.publicAddresses, QStringList { "192.0.2.5" });
    EXPECT_EQ(usable.relayRecipient, "probe@other.example");
    EXPECT_EQ(usable.blockZones, QStringList { "l.example" });
    EXPECT_EQ(settingsProblems({ "ann@h.example", "192.0.2.5", "probe@other.example", "l.example" }), QStringList {});

    const OutsideSettings bad { "ssh -o ProxyCommand=x h.example", "", "x y@z", "not a zone" };
    const OutsideInputs kept = applySettings(given, bad);
    EXPECT_EQ(kept.target, "mail.example");
    EXPECT_EQ(kept.relayRecipient, OutsideInputs {}.relayRecipient);
    EXPECT_TRUE(kept.blockZones.isEmpty());
    const QStringList said = settingsProblems(bad);
    ASSERT_EQ(said.size(), 3) << said.join('|').toStdString();
    EXPECT_TRUE(said.at(0).contains("ProxyCommand"));
    EXPECT_TRUE(said.at(2).contains("not a zone"));
}
