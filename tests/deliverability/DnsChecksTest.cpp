// The DNS checks' rules over answers made up here, no resolver involved.
#include "deliverability/DaneMatch.h"
#include "deliverability/DnsChecks.h"

#include <gtest/gtest.h>

#include <QMap>

using namespace brevane::dns;

namespace {

const QString key = QStringLiteral("MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAx");

Answer found(const QStringList& values)
{
    return {Outcome::Found, values};
}
const Answer none{Outcome::NoRecord, {}};
const Answer silent{Outcome::Unreachable, {}};

Answer secure(const QStringList& values)
{
    return {values.isEmpty() ? Outcome::NoRecord : Outcome::Found, values, Security::Secure};
}

// Scripted answers by "TYPE name"; anything else does not exist.
using Zone = QMap<QString, Answer>;

Lookup lookupIn(const Zone& zone, QStringList* asked = nullptr)
{
    return [zone, asked](const QString& name, RecordType type) {
        static const char* names[] = {"MX", "A", "AAAA", "TXT", "PTR", "TLSA"};
        const QString question = QString::fromLatin1(names[int(type)]) + u' ' + name;
        if (asked)
            asked->append(question);
        return zone.value(question, none);
    };
}

const QByteArray servedPem = "-----BEGIN CERTIFICATE-----\n"
                             "MIIBjTCCATOgAwIBAgIUDaNw17r9R6nbYcDlkkZvwAlYkm0wCgYIKoZIzj0EAwIw\n"
                             "HDEaMBgGA1UEAwwRbWFpbC5leGFtcGxlLnRlc3QwHhcNMjYxMjA5MTM1MzU4WhcN\n"
                             "MzYxMjA2MTM1MzU4WjAcMRowGAYDVQQDDBFtYWlsLmV4YW1wbGUudGVzdDBZMBMG\n"
                             "ByqGSM49AgEGCCqGSM49AwEHA0IABG1y+vwd4kHIdoQybxZ7NIXm+AE4EPrrY+8g\n"
                             "slf+jwnqY9HKlIxtJpRLjeKp67GDbJCMu1UGC4yO1kVUOJpsmcajUzBRMB0GA1Ud\n"
                             "DgQWBBSXNfTRsEqngRRb7D4ldUs6kaUUFzAfBgNVHSMEGDAWgBSXNfTRsEqngRRb\n"
                             "7D4ldUs6kaUUFzAPBgNVHRMBAf8EBTADAQH/MAoGCCqGSM49BAMCA0gAMEUCIFpu\n"
                             "RQB2pZtEVPDTiTRd91p3UmbvXPPl9k8l3WsVunbpAiEA6swdelMp1xmgLsUeGzYC\n"
                             "fArcHgxT2wF4n6MNE3XHefE=\n"
                             "-----END CERTIFICATE-----\n";
// The SHA-256 of its public key, and of the whole certificate.
const char servedKeyHash[] = "65852e6b69bebc4f2d3a34a3ad543de5503808f2d73aa633048d3d5fc55ade37";
const char servedCertificateHash[] = "5dbde84bb8107d50e5ff22b5e74beb46de6433299fa9864c75527b847330a685";

struct Case {
    const char* what;
    CheckRow row;
    CheckState state;
    const char* suggestionPart; // "" when none is expected
    const char* foundPart = ""; // the reason a person reads, when it matters
};

void expectCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        EXPECT_EQ(c.row.state, c.state) << c.what << ": found " << c.row.found.toStdString();
        EXPECT_TRUE(c.row.found.contains(QString::fromUtf8(c.foundPart)))
            << c.what << ": found " << c.row.found.toStdString();
        if (*c.suggestionPart) {
            EXPECT_TRUE(c.row.suggestion.contains(QString::fromUtf8(c.suggestionPart)))
                << c.what << ": " << c.row.suggestion.toStdString();
        } else {
            EXPECT_TRUE(c.row.suggestion.isEmpty()) << c.what << ": " << c.row.suggestion.toStdString();
        }
        if (c.state == CheckState::Unreachable) {
            EXPECT_EQ(c.row.found, QString::fromLatin1(unreachableText)) << c.what;
        }
    }
}

} // namespace

TEST(DnsChecks, MxRows)
{
    const QString d = QStringLiteral("example.test");
    expectCases({
        {"one mail host", mxRow(d, found({"10 mail.example.test"}), found({"192.0.2.25"})), CheckState::Passed, ""},
        {"no MX", mxRow(d, none, none), CheckState::Failed, "example.test. IN MX 10 mail.example.test."},
        {"null MX takes no mail", mxRow(d, found({"0 ."}), none), CheckState::Failed, "IN MX"},
        {"no server", mxRow(d, silent, none), CheckState::Unreachable, ""},
        {"the mail host is an alias", mxRow(d, found({"10 mx.example.test"}),
                                            Answer{Outcome::Found, {"192.0.2.25"}, Security::Insecure,
                                                   "real.example.test", {}}),
         CheckState::Failed, "example.test. IN MX 10 real.example.test.", "an alias (CNAME) of real.example.test"},
    });
}

TEST(DnsChecks, MailHostIsTheLowestPreferenceOrTheSuggestedOne)
{
    const QString d = QStringLiteral("example.test");
    EXPECT_EQ(mailHost(d, found({"20 backup.example.test", "5 main.example.test", "10 mid.example.test"})),
              "main.example.test");
    EXPECT_EQ(mailHost(d, none), "mail.example.test");
    EXPECT_EQ(mailHost(d, found({"garbage"})), "mail.example.test");
}

TEST(DnsChecks, SuggestionsForAnEmptyZoneNameOneMailHost)
{
    const QList<CheckRow> rows = runChecks({{"example.test"}, "sel", {{"example.test", key}}, "192.0.2.25"},
                                           lookupIn({}), {});
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows.at(0).suggestion, "25.2.0.192.in-addr.arpa. IN PTR mail.example.test.");
    EXPECT_EQ(rows.at(1).suggestion, "example.test. IN MX 10 mail.example.test.");
    EXPECT_TRUE(rows.at(2).suggestion.startsWith("mail.example.test. IN A ")) << rows.at(2).suggestion.toStdString();
    EXPECT_EQ(rows.at(3).suggestion, "example.test. IN TXT \"v=spf1 mx ip4:192.0.2.25 -all\"");
    for (const CheckRow& row : rows)
        EXPECT_EQ(row.state == CheckState::Failed, !row.suggestion.isEmpty()) << row.record.toStdString();
}

TEST(DnsChecks, AddressRows)
{
    const QString h = QStringLiteral("mail.example.test");
    expectCases({
        {"IPv4 only", addressRow(h, found({"192.0.2.25"}), none), CheckState::Passed, ""},
        {"IPv6 only", addressRow(h, none, found({"2001:db8::25"})), CheckState::Passed, ""},
        {"neither", addressRow(h, none, none), CheckState::Failed, "mail.example.test. IN A"},
        {"AAAA question unanswered", addressRow(h, found({"192.0.2.25"}), silent), CheckState::Unreachable, ""},
    });
}

TEST(DnsChecks, PtrRowsAreForwardConfirmed)
{
    const QString h = QStringLiteral("mail.example.test");
    const QString ours = QStringLiteral("192.0.2.25");
    expectCases({
        {"names a host whose address is ours", ptrRow(ours, h, found({"mail.example.test"}), {found({ours})}),
         CheckState::Passed, ""},
        {"any host will do when it gives the address back",
         ptrRow(ours, h, found({"host-25.isp.example"}), {found({"192.0.2.9", ours})}), CheckState::Passed, ""},
        {"names our host whose address is another",
         ptrRow(ours, h, found({"mail.example.test"}), {found({"192.0.2.9"})}, {"example.test"}), CheckState::Failed,
         "mail.example.test. IN A 192.0.2.25", "whose address is 192.0.2.9, not 192.0.2.25"},
        {"names the provider's host with no address, which the provider changes",
         ptrRow(ours, h, found({"host-25.isp.example"}), {none}, {"example.test"}), CheckState::Failed,
         "25.2.0.192.in-addr.arpa. IN PTR mail.example.test.", "whose address is none"},
        {"IPv6 asks for AAAA", ptrRow("2001:db8::25", h, found({"mail.example.test"}), {found({"2001:db8::9"})},
                                      {"example.test"}),
         CheckState::Failed, "mail.example.test. IN AAAA 2001:db8::25"},
        {"missing", ptrRow(ours, h, none, {}), CheckState::Failed, "25.2.0.192.in-addr.arpa. IN PTR mail.example.test."},
        {"no address typed", ptrRow("", h, none, {}), CheckState::Unjudged, "", "no address typed"},
        {"no server", ptrRow(ours, h, silent, {}), CheckState::Unreachable, ""},
        {"the host's address unanswered", ptrRow(ours, h, found({"mail.example.test"}), {silent}),
         CheckState::Unreachable, ""},
    });
    EXPECT_TRUE(ptrRow("", h, none, {}).expected.contains("This server's address"));
}

TEST(DnsChecks, SpfIsEvaluatedForThisServersAddressAsReceiversDo)
{
    const QString ours = QStringLiteral("192.0.2.25");
    const struct {
        const char* what;
        QStringList records;
        CheckState state;
        const char* foundPart;
    } cases[] = {
        {"mx covers us", {"v=spf1 mx -all"}, CheckState::Passed, "gets \u201cpass\u201d"},
        {"among other TXT, upper case", {"google-site-verification=x", "V=SPF1 ip4:192.0.2.0/24 ~all"},
         CheckState::Passed, "pass"},
        {"+all lets everyone send", {"v=spf1 +all"}, CheckState::Failed, "lets every server on the Internet"},
        {"ip4 of another address", {"v=spf1 ip4:198.51.100.7 -all"}, CheckState::Failed, "\u201cfail\u201d"},
        {"~all for us", {"v=spf1 ip4:198.51.100.7 ~all"}, CheckState::Failed, "\u201csoftfail\u201d"},
        {"include not covering us", {"v=spf1 include:provider.test -all"}, CheckState::Failed, "\u201cfail\u201d"},
        {"include of a name with no SPF", {"v=spf1 include:nospf.test -all"}, CheckState::Failed, "permerror"},
        {"two records", {"v=spf1 mx -all", "v=spf1 a -all"}, CheckState::Failed, "2 SPF records"},
        {"a longer version word is no SPF", {"v=spf10 mx"}, CheckState::Failed, "nothing"},
        {"include that a provider's record covers", {"v=spf1 include:covering.test -all"}, CheckState::Passed,
         "pass"},
    };
    for (const auto& c : cases) {
        const Zone zone{{"MX example.test", found({"10 mail.example.test"})},
                        {"A mail.example.test", found({ours})},
                        {"TXT example.test", found(c.records)},
                        {"TXT provider.test", found({"v=spf1 ip4:198.51.100.0/24 -all"})},
                        {"TXT covering.test", found({"v=spf1 ip4:192.0.2.0/26 -all"})},
                        {"TXT nospf.test", found({"hello"})}};
        const QList<CheckRow> rows = runChecks({{"example.test"}, "sel", {}, ours}, lookupIn(zone), {});
        const CheckRow& spf = rows.at(3);
        ASSERT_EQ(spf.record, "SPF");
        EXPECT_EQ(spf.state, c.state) << c.what << ": " << spf.found.toStdString();
        EXPECT_TRUE(spf.found.contains(QString::fromUtf8(c.foundPart))) << c.what << ": " << spf.found.toStdString();
        EXPECT_EQ(spf.suggestion.isEmpty(), c.state == CheckState::Passed) << c.what;
        if (c.state == CheckState::Failed) {
            EXPECT_TRUE(spf.suggestion.contains("\"v=spf1 mx ip4:192.0.2.25 -all\"")) << c.what;
        }
    }
    // Without our address SPF cannot be evaluated, and the row says what to type.
    const CheckRow untyped = spfRow("example.test", "", found({"v=spf1 mx -all"}), {}, {});
    EXPECT_EQ(untyped.state, CheckState::Unjudged);
    EXPECT_TRUE(untyped.expected.startsWith("type the address"));
    EXPECT_EQ(spfRow("example.test", ours, silent, {}, {}).state, CheckState::Unreachable);
}

TEST(DnsChecks, DkimRows)
{
    const QString d = QStringLiteral("example.test");
    const QString s = QStringLiteral("sel");
    const QString published = "v=DKIM1; k=rsa; p=" + key;
    expectCases({
        {"our key", dkimRow(s, d, key, found({published})), CheckState::Passed, ""},
        {"our key with blanks inside p=", dkimRow(s, d, key, found({"v=DKIM1; k=rsa; p=" + key.left(10) + " "
                                                                    + key.mid(10)})),
         CheckState::Passed, ""},
        {"another key", dkimRow(s, d, key, found({"v=DKIM1; k=rsa; p=MIIBother"})), CheckState::Failed,
         "sel._domainkey.example.test. IN TXT \"v=DKIM1; k=rsa; p=MIIB"},
        {"revoked key", dkimRow(s, d, key, found({"v=DKIM1; p="})), CheckState::Failed, "IN TXT"},
        {"no record", dkimRow(s, d, key, none), CheckState::Failed, "IN TXT"},
        {"no key made yet", dkimRow(s, d, QString(), found({published})), CheckState::Failed, ""},
        {"h=sha1 refuses our rsa-sha256", dkimRow(s, d, key, found({"v=DKIM1; h=sha1; k=rsa; p=" + key})),
         CheckState::Failed, "IN TXT", "leaves out sha256"},
        {"h listing sha256", dkimRow(s, d, key, found({"v=DKIM1; h=sha1:sha256; p=" + key})), CheckState::Passed,
         ""},
        {"k=ed25519 holding our RSA key", dkimRow(s, d, key, found({"v=DKIM1; k=ed25519; p=" + key})),
         CheckState::Failed, "IN TXT", "no RSA key"},
        {"two records at the selector", dkimRow(s, d, key, found({published, "v=DKIM1; k=rsa; p=MIIBother"})),
         CheckState::Failed, "keep only this one", "2 records at sel._domainkey.example.test"},
        {"testing mode", dkimRow(s, d, key, found({published + "; t=y"})), CheckState::Failed, "IN TXT",
         "treat signed mail as unsigned"},
        {"t=s is fine for our signatures", dkimRow(s, d, key, found({published + "; t=s"})), CheckState::Passed, ""},
        {"another version", dkimRow(s, d, key, found({"v=DKIM2; p=" + key})), CheckState::Failed, "IN TXT",
         "not DKIM1"},
        {"version not first", dkimRow(s, d, key, found({"p=" + key + "; v=DKIM1"})), CheckState::Failed, "IN TXT",
         "not its first tag"},
        {"no version is allowed", dkimRow(s, d, key, found({"k=rsa; p=" + key})), CheckState::Passed, ""},
        {"no server", dkimRow(s, d, key, silent), CheckState::Unreachable, ""},
    });
    EXPECT_EQ(dkimRow(s, d, key, none).name, "sel._domainkey.example.test");
    EXPECT_EQ(dkimRow(s, d, key, found({"v=DKIM1; p="})).found, "v=DKIM1; p=: the key is revoked (empty p=)");
}

TEST(DnsChecks, DmarcRows)
{
    const QString d = QStringLiteral("example.test");
    expectCases({
        {"quarantine", dmarcRow(d, found({"v=DMARC1; p=quarantine; rua=mailto:postmaster@example.test"})),
         CheckState::Passed, ""},
        {"none, without blanks", dmarcRow(d, found({"v=DMARC1;p=none"})), CheckState::Passed, ""},
        {"version not first", dmarcRow(d, found({"p=reject; v=DMARC1"})), CheckState::Failed, "v=DMARC1"},
        {"unknown policy", dmarcRow(d, found({"v=DMARC1; p=maybe"})), CheckState::Failed, "_dmarc.example.test."},
        {"no policy", dmarcRow(d, found({"v=DMARC1"})), CheckState::Failed, "p=quarantine"},
        {"sp= is not p=", dmarcRow(d, found({"v=DMARC1; sp=reject"})), CheckState::Failed, "p=quarantine"},
        {"two records", dmarcRow(d, found({"v=DMARC1; p=none", "v=DMARC1; p=reject"})), CheckState::Failed,
         "IN TXT"},
        {"missing", dmarcRow(d, none), CheckState::Failed, "IN TXT"},
        {"no server", dmarcRow(d, silent), CheckState::Unreachable, ""},
    });
}

TEST(DnsChecks, TxtZoneLineCutsLongTextInto255ByteStringsAndEscapesQuotes)
{
    const QString longText = QString(600, u'a');
    const QString line = txtZoneLine(QStringLiteral("n.example"), longText);
    EXPECT_EQ(line, "n.example. IN TXT \"" + QString(255, u'a') + "\" \"" + QString(255, u'a') + "\" \""
                        + QString(90, u'a') + "\"");
    EXPECT_EQ(txtZoneLine(QStringLiteral("n.example"), QStringLiteral("say \"hi\"\\")),
              "n.example. IN TXT \"say \\\"hi\\\"\\\\\"");
}

TEST(DnsChecks, ReverseNames)
{
    EXPECT_EQ(reverseName("192.0.2.25"), "25.2.0.192.in-addr.arpa");
    EXPECT_EQ(reverseName(" 127.0.0.2 "), "2.0.0.127.in-addr.arpa");
    EXPECT_EQ(reverseName("2001:db8::1"),
              "1.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.8.b.d.0.1.0.0.2.ip6.arpa");
    EXPECT_EQ(reverseName("mail.example.test"), "");
    EXPECT_EQ(reverseName(""), "");
}

TEST(DnsChecks, DnssecAndDaneRows)
{
    const QString d = QStringLiteral("example.test");
    const QString h = QStringLiteral("mail.example.test");
    const QList<QByteArray> chain = pemCertificates(servedPem);
    ASSERT_EQ(chain.size(), 1);
    const auto served = [&chain] { return chain; };
    const auto nothingServed = [] { return QList<QByteArray>{}; };
    const QString byKey = QStringLiteral("3 1 1 ") + servedKeyHash;
    Answer bogus{Outcome::Found, {"10 mail.example.test"}, Security::Bogus, {}, "signature expired"};
    expectCases({
        {"signed and valid", dnssecRow(d, secure({"10 " + h}), true), CheckState::Passed, "", "secure"},
        {"not signed is no fault", dnssecRow(d, found({"10 " + h}), true), CheckState::Passed, "", "insecure"},
        {"broken signatures", dnssecRow(d, bogus, true), CheckState::Failed, "; example.test: sign the zone again",
         "bogus: the signatures do not check out (signature expired)"},
        {"a resolver without DNSSEC cannot tell", dnssecRow(d, found({"10 " + h}), false), CheckState::Unjudged, ""},
        {"no server", dnssecRow(d, silent, true), CheckState::Unreachable, ""},
        {"no TLSA in an unsigned zone is not red", tlsaRow(h, none, served), CheckState::Passed, "", "not used"},
        {"no TLSA in a signed zone", tlsaRow(h, secure({}), served), CheckState::Passed, "", "without DANE"},
        {"names the served key", tlsaRow(h, secure({byKey}), served), CheckState::Passed, "", "names the certificate"},
        {"names the whole served certificate", tlsaRow(h, secure({QStringLiteral("3 0 1 ") + servedCertificateHash}),
                                                       served),
         CheckState::Passed, ""},
        {"names another key", tlsaRow(h, secure({"3 1 1 " + QString(64, u'a')}), served), CheckState::Failed,
         "_25._tcp.mail.example.test. IN TLSA 3 1 1 65852e6b", "senders using DANE will not deliver"},
        {"a PKIX usage SMTP ignores", tlsaRow(h, secure({QStringLiteral("1 1 1 ") + servedKeyHash}), served),
         CheckState::Failed, "IN TLSA 3 1 1"},
        {"nothing served to match", tlsaRow(h, secure({byKey}), nothingServed), CheckState::Failed, "start Postfix",
         "no certificate could be had"},
        {"bogus TLSA", tlsaRow(h, Answer{Outcome::Found, {byKey}, Security::Bogus, {}, "bad"}, served),
         CheckState::Failed, "sign the zone"},
    });
    EXPECT_EQ(tlsaRecordFor(chain.first()), byKey);
}

TEST(DnsChecks, EveryMailDomainGetsItsGroupAndTheMailHostsAliasIsFollowed)
{
    const QString ours = QStringLiteral("192.0.2.25");
    const Zone zone{
        {"MX example.test", secure({"10 mx.example.test"})},
        {"A mx.example.test", Answer{Outcome::Found, {ours}, Security::Secure, "real.example.test", {}}},
        {"TLSA _25._tcp.mx.example.test", secure({QStringLiteral("3 1 1 ") + servedKeyHash})},
        {"PTR 25.2.0.192.in-addr.arpa", found({"real.example.test"})},
        {"A real.example.test", found({ours})},
        {"TXT example.test", found({"v=spf1 mx -all"})},
        {"TXT sel._domainkey.example.test", found({"v=DKIM1; k=rsa; p=" + key})},
        {"TXT _dmarc.example.test", found({"v=DMARC1; p=reject"})},
        {"MX example.org", found({"10 mail.example.org"})},
    };
    QStringList asked;
    QStringList servedAt;
    const QList<CheckRow> rows = runChecks({{"example.test", "example.org"}, "sel", {{"example.test", key}}, ours},
                                           lookupIn(zone, &asked), [&servedAt](const QString& address) {
                                               servedAt.append(address);
                                               return pemCertificates(servedPem);
                                           });
    ASSERT_EQ(rows.size(), 15);
    EXPECT_EQ(rows.at(0).group, QString::fromLatin1(serverGroup));
    EXPECT_EQ(rows.at(0).state, CheckState::Passed) << rows.at(0).found.toStdString();
    QStringList groups;
    for (const CheckRow& row : rows.mid(1))
        groups.append(row.group + u' ' + row.record);
    EXPECT_EQ(groups, (QStringList{"example.test MX", "example.test A/AAAA", "example.test SPF", "example.test DKIM",
                                   "example.test DMARC", "example.test DNSSEC", "example.test TLSA", "example.org MX",
                                   "example.org A/AAAA", "example.org SPF", "example.org DKIM", "example.org DMARC",
                                   "example.org DNSSEC", "example.org TLSA"}));
    EXPECT_EQ(rows.at(1).state, CheckState::Failed); // the MX names an alias
    EXPECT_EQ(rows.at(1).suggestion, "example.test. IN MX 10 real.example.test.");
    for (const int i : {2, 3, 4, 5, 6, 7})
        EXPECT_EQ(rows.at(i).state, CheckState::Passed) << rows.at(i).record.toStdString() << ": "
                                                        << rows.at(i).found.toStdString();
    EXPECT_TRUE(rows.at(2).found.contains("through the alias to real.example.test"));
    EXPECT_EQ(servedAt, QStringList{ours});
    // The second domain is judged on its own answers, each red row with a line to publish.
    EXPECT_EQ(rows.at(8).state, CheckState::Passed);
    for (const int i : {9, 10, 12})
        EXPECT_FALSE(rows.at(i).suggestion.isEmpty()) << rows.at(i).record.toStdString();
    EXPECT_TRUE(asked.contains("TXT sel._domainkey.example.org"));
    // The unsigned domain's mail host is not asked for TLSA.
    EXPECT_FALSE(asked.contains("TLSA _25._tcp.mail.example.org"));
}

TEST(DnsChecks, NoAddressTypedAsksNoReverseQuestion)
{
    QStringList asked;
    const QList<CheckRow> rows = runChecks({{"example.test"}, "sel", {}, ""}, lookupIn({}, &asked), {});
    EXPECT_EQ(rows.at(0).state, CheckState::Unjudged);
    for (const QString& question : asked)
        EXPECT_FALSE(question.startsWith("PTR")) << question.toStdString();
}

TEST(DnsChecks, ADomainWhoseServersFailLeavesTheOthersAndThePtrAsked)
{
    const Zone zone{{"MX example.org", silent}, {"PTR 25.2.0.192.in-addr.arpa", found({"mail.example.test"})}};
    const QList<CheckRow> rows = runChecks({{"example.test", "example.org"}, "sel", {}, "192.0.2.25"}, lookupIn(zone), {});
    ASSERT_EQ(rows.size(), 15);
    EXPECT_NE(rows.at(0).state, CheckState::Unreachable) << rows.at(0).found.toStdString();
    EXPECT_NE(rows.at(1).state, CheckState::Unreachable);
    EXPECT_EQ(rows.at(8).state, CheckState::Unreachable);
}

TEST(DnsChecks, SilentServerMakesEveryRowUnreachableAfterOneQuestion)
{
    int questions = 0;
    const QList<CheckRow> rows = runChecks({{"example.test", "example.org"}, "sel", {{"example.test", key}},
                                            "192.0.2.25"},
                                           [&](const QString&, RecordType) {
                                               ++questions;
                                               return silent;
                                           },
                                           {});
    EXPECT_EQ(questions, 1);
    ASSERT_EQ(rows.size(), 15);
    for (const CheckRow& row : rows)
        EXPECT_EQ(row.state, CheckState::Unreachable) << row.record.toStdString();
}
