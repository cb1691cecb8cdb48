// The DNS checks' rules over answers made up here, no resolver involved.
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

struct Case {
    const char* what;
    CheckRow row;
    CheckState state;
    const char* suggestionPart; // "" when none is expected
};

void expectCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        EXPECT_EQ(c.row.state, c.state) << c.what << ": found " << c.row.found.toStdString();
        if (*c.suggestionPart)
            EXPECT_TRUE(c.row.suggestion.contains(QString::fromUtf8(c.suggestionPart)))
                << c.what << ": " << c.row.suggestion.toStdString();
        else
            EXPECT_TRUE(c.row.suggestion.isEmpty()) << c.what << ": " << c.row.suggestion.toStdString();
        if (c.state == CheckState::Unreachable)
            EXPECT_EQ(c.row.found, QString::fromLatin1(unreachableText)) << c.what;
    }
}

} // namespace

TEST(DnsChecks, MxRows)
{
    const QString d = QStringLiteral("example.test");
    expectCases({
        {"one mail host", mxRow(d, found({"10 mail.example.test"})), CheckState::Passed, ""},
        {"no MX", mxRow(d, none), CheckState::Failed, "example.test. IN MX 10 mail.example.test."},
        {"null MX takes no mail", mxRow(d, found({"0 ."})), CheckState::Failed, "IN MX"},
        {"no server", mxRow(d, silent), CheckState::Unreachable, ""},
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
    const QList<CheckRow> rows = runChecks({"example.test", "sel", key, "192.0.2.25"},
                                           [](const QString&, RecordType) { return none; });
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows.at(0).suggestion, "example.test. IN MX 10 mail.example.test.");
    EXPECT_TRUE(rows.at(1).suggestion.startsWith("mail.example.test. IN A ")) << rows.at(1).suggestion.toStdString();
    EXPECT_EQ(rows.at(2).suggestion, "25.2.0.192.in-addr.arpa. IN PTR mail.example.test.");
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

TEST(DnsChecks, PtrRows)
{
    const QString h = QStringLiteral("mail.example.test");
    expectCases({
        {"names the mail host", ptrRow("192.0.2.25", h, found({"mail.example.test"})), CheckState::Passed, ""},
        {"case and final dot do not matter", ptrRow("192.0.2.25", h, found({"MAIL.Example.Test."})),
         CheckState::Passed, ""},
        {"names another host", ptrRow("192.0.2.25", h, found({"host-192-0-2-25.isp.example"})), CheckState::Failed,
         "25.2.0.192.in-addr.arpa. IN PTR mail.example.test."},
        {"missing", ptrRow("192.0.2.25", h, none), CheckState::Failed, "IN PTR"},
        {"no address to look up", ptrRow("", h, none), CheckState::Failed, ""},
        {"no server", ptrRow("192.0.2.25", h, silent), CheckState::Unreachable, ""},
    });
}

TEST(DnsChecks, SpfRows)
{
    const QString d = QStringLiteral("example.test");
    expectCases({
        {"one SPF among other TXT", spfRow(d, found({"google-site-verification=x", "v=spf1 mx -all"})),
         CheckState::Passed, ""},
        {"upper case version", spfRow(d, found({"V=SPF1 a ~all"})), CheckState::Passed, ""},
        {"only other TXT", spfRow(d, found({"hello"})), CheckState::Failed, "\"v=spf1 mx -all\""},
        {"a longer version word is no SPF", spfRow(d, found({"v=spf10 mx"})), CheckState::Failed, "v=spf1"},
        {"two SPF records are an error", spfRow(d, found({"v=spf1 mx -all", "v=spf1 a -all"})), CheckState::Failed,
         "keep one"},
        {"no TXT", spfRow(d, none), CheckState::Failed, "IN TXT"},
        {"no server", spfRow(d, silent), CheckState::Unreachable, ""},
    });
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
        {"no server", dkimRow(s, d, key, silent), CheckState::Unreachable, ""},
    });
    EXPECT_EQ(dkimRow(s, d, key, none).name, "sel._domainkey.example.test");
    EXPECT_EQ(dkimRow(s, d, key, found({"v=DKIM1; p="})).found, "a revoked key (empty p=)");
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

TEST(DnsChecks, RunChecksAsksAboutTheMailHostAndItsAddress)
{
    QMap<QString, Answer> zone{
        {"MX example.test", found({"10 mx.example.test"})},
        {"A mx.example.test", found({"192.0.2.25"})},
        {"PTR 25.2.0.192.in-addr.arpa", found({"mx.example.test"})},
        {"TXT example.test", found({"v=spf1 mx -all"})},
        {"TXT sel._domainkey.example.test", found({"v=DKIM1; k=rsa; p=" + key})},
        {"TXT _dmarc.example.test", found({"v=DMARC1; p=reject"})},
    };
    QStringList asked;
    const Lookup lookup = [&](const QString& name, RecordType type) {
        static const char* names[] = {"MX", "A", "AAAA", "TXT", "PTR"};
        const QString question = QString::fromLatin1(names[int(type)]) + u' ' + name;
        asked.append(question);
        return zone.value(question, none);
    };
    const QList<CheckRow> rows = runChecks({"example.test", "sel", key, ""}, lookup);
    ASSERT_EQ(rows.size(), 6);
    for (const CheckRow& row : rows)
        EXPECT_EQ(row.state, CheckState::Passed) << row.record.toStdString() << ": " << row.found.toStdString();
    EXPECT_TRUE(asked.contains("AAAA mx.example.test"));

    // An address given by hand is the one whose PTR counts.
    const QList<CheckRow> byHand = runChecks({"example.test", "sel", key, "192.0.2.99"}, lookup);
    EXPECT_EQ(byHand.at(2).name, "99.2.0.192.in-addr.arpa");
    EXPECT_EQ(byHand.at(2).state, CheckState::Failed);
}

TEST(DnsChecks, SilentServerMakesEveryRowUnreachableAfterOneQuestion)
{
    int questions = 0;
    const QList<CheckRow> rows = runChecks({"example.test", "sel", key, ""}, [&](const QString&, RecordType) {
        ++questions;
        return silent;
    });
    EXPECT_EQ(questions, 1);
    ASSERT_EQ(rows.size(), 6);
    for (const CheckRow& row : rows)
        EXPECT_EQ(row.state, CheckState::Unreachable) << row.record.toStdString();
}
