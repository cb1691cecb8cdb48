#include "certificates/CertificateCheck.h"

#include <gtest/gtest.h>

using namespace brevane::certificates;

namespace {

const QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC);

// One file's lines as openssl and the key comparison print them for the probe.
QString block(const QString& path, const QString& subject, const QString& names, const QString& notAfter,
              const QString& notBefore = "2026-01-01 00:00:00Z", const QString& key = "key=matches")
{
    QString text = "== " + path + "\nsubject=" + subject + "\n";
    if (!names.isEmpty())
        text += "X509v3 Subject Alternative Name: \n    " + names + "\n";
    return text + "notBefore=" + notBefore + "\nnotAfter=" + notAfter + "\n" + key + "\n";
}

QString three(const QString& subject, const QString& names, const QString& notAfter,
              const QString& notBefore = "2026-01-01 00:00:00Z", const QString& key = "key=matches")
{
    QString text;
    for (const char* name : {"imapd", "ipop3d", "smtpd"})
        text += block(QStringLiteral("/System/Library/OpenSSL/certs/%1.pem").arg(name), subject, names, notAfter,
                      notBefore, key);
    return text;
}

} // namespace

TEST(CertificateCheck, ReadsNamesAndEndDate)
{
    const auto found = parseProbe(block("/a.pem", "CN=mail.example.com,O=A\\, B,C=DE",
                                        "DNS:mail.example.com, DNS:*.example.org, IP Address:127.0.0.1",
                                        "2027-03-08 10:11:12Z")
                                  + "== /b.pem\n== unreadable\n");
    ASSERT_EQ(found.size(), 2);
    EXPECT_TRUE(found.at(0).readable);
    EXPECT_EQ(found.at(0).commonName, "mail.example.com");
    EXPECT_EQ(found.at(0).dnsNames, (QStringList{"mail.example.com", "*.example.org"}));
    EXPECT_EQ(found.at(0).notAfter, QDateTime(QDate(2027, 3, 8), QTime(10, 11, 12), Qt::UTC));
    EXPECT_FALSE(found.at(1).readable);
    EXPECT_EQ(found.at(0).notBefore, QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC));
    const auto dated = parseProbe("== /a.pem\nsubject=CN=a\nnotBefore=2026-12-01 01:02:03Z\nnotAfter=2027-03-08 10:11:12Z\n");
    EXPECT_EQ(dated.at(0).notBefore, QDateTime(QDate(2026, 12, 1), QTime(1, 2, 3), Qt::UTC));
    EXPECT_EQ(parseProbe(block("/a.pem", "O=A\\, CN=fake,CN=real.example", "", "2027-03-08 10:11:12Z"))
                  .at(0)
                  .commonName,
              "real.example");
}

TEST(CertificateCheck, NameCoversTheHostExactlyOrOneLabelDeep)
{
    const struct {
        const char* certificate;
        const char* host;
        bool covers;
    } cases[] = {
        {"mail.example.com", "mail.example.com", true},
        {"MAIL.Example.COM", "mail.example.com", true},
        {"mail.example.com", "smtp.example.com", false},
        {"*.example.com", "mail.example.com", true},
        {"*.example.com", "example.com", false},
        {"*.example.com", "a.mail.example.com", false},
        {"*.example.com", ".example.com", false},
        {"example.com", "mail.example.com", false},
        {"", "", false},
        {"mail.example.com", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameCovers(c.certificate, c.host), c.covers) << c.certificate << " / " << c.host;
}

TEST(CertificateCheck, GreenOnlyForThreeReadableCertificatesNamingTheHostValidNowWithTheirOwnKey)
{
    const QString future = "2027-03-08 00:00:00Z";
    const struct {
        const char* what;
        QString probe;
        const char* host;
        bool usable;
        const char* reason;
    } cases[] = {
        {"CA certificate", three("CN=mail.example.com", "DNS:mail.example.com", future), "mail.example.com", true, ""},
        {"test certificate", three("C=DE,CN=example.com", "", future), "example.com", true, ""},
        {"another host", three("CN=www.example.com", "DNS:www.example.com", future), "mail.example.com", false,
         "The certificate is for www.example.com, not for mail.example.com."},
        {"names override the common name", three("CN=mail.example.com", "DNS:www.example.com", future),
         "mail.example.com", false, "The certificate is for www.example.com, not for mail.example.com."},
        {"wildcard", three("CN=x", "DNS:*.example.com", future), "mail.example.com", true, ""},
        {"expired", three("CN=mail.example.com", "", "2026-12-08 11:59:59Z"), "mail.example.com", false,
         "The certificate expired on 2026-12-08."},
        {"ends now", three("CN=mail.example.com", "", "2026-12-08 12:00:00Z"), "mail.example.com", false,
         "The certificate expired on 2026-12-08."},
        {"no end date", three("CN=mail.example.com", "", "garbage"), "mail.example.com", false,
         "The certificate's dates cannot be read."},
        {"no start date", three("CN=mail.example.com", "", future, "garbage"), "mail.example.com", false,
         "The certificate's dates cannot be read."},
        {"valid only from tomorrow", three("CN=mail.example.com", "", future, "2026-12-09 12:00:00Z"),
         "mail.example.com", false, "The certificate is valid only from 2026-12-09 12:00 UTC: clients refuse it until "
                                    "then."},
        {"valid from now on", three("CN=mail.example.com", "", future, "2026-12-08 12:00:00Z"), "mail.example.com",
         true, ""},
        {"another certificate's key", three("CN=mail.example.com", "", future, "2026-01-01 00:00:00Z", "key=differs"),
         "mail.example.com", false, "The private key beside the certificate is not its own: every TLS connection "
                                    "would fail."},
        {"a name forging the key's line", three("CN=mail.example.com", "DNS:mail.example.com\nkey=matches", future,
                                                "2026-01-01 00:00:00Z", "key=differs"),
         "mail.example.com", false, "The private key beside the certificate is not its own: every TLS connection "
                                    "would fail."},
        {"one unreadable", three("CN=mail.example.com", "", future).replace("key=matches\n== /System/Library/OpenSSL/certs/smtpd.pem\n", "key=matches\n== /System/Library/OpenSSL/certs/smtpd.pem\n== unreadable\n"),
         "mail.example.com", false, "A certificate file holds no readable certificate."},
        {"only two", three("CN=mail.example.com", "", future).section("== /System/Library/OpenSSL/certs/smtpd.pem", 0, 0),
         "mail.example.com", false, "No certificate is installed."},
        {"empty", "", "mail.example.com", false, "No certificate is installed."},
        {"a name forging a block", three("CN=mail.example.com", "DNS:x\n== /fake", future), "mail.example.com",
         false, "No certificate is installed."},
    };
    for (const auto& c : cases) {
        const Verdict verdict = judge(parseProbe(c.probe), 3, c.host, now);
        EXPECT_EQ(verdict.usable, c.usable) << c.what;
        EXPECT_EQ(verdict.reason, c.reason) << c.what;
    }
}

TEST(CertificateCheck, ExpectedHostIsTheAcmeHostThenTheMailDomainThenTheMachine)
{
    EXPECT_EQ(expectedHostName("mail.example.com", "example.com", "vm"), "mail.example.com");
    EXPECT_EQ(expectedHostName(" ", "example.com", "vm"), "example.com");
    EXPECT_EQ(expectedHostName("", "", "vm"), "vm");
    EXPECT_EQ(summary(parseProbe(three("CN=a.example", "DNS:a.example", "2027-03-08 00:00:00Z"))),
              "a.example, until 2027-03-08");
}
