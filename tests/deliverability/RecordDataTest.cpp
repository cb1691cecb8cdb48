// Record data as a name server (or someone pretending to be one) could send
// it, read into the values the checks judge.
#include "deliverability/DnsLookup.h"

#include <gtest/gtest.h>

using namespace brevane::dns;

TEST(RecordData, ValuesOfEachTypeAndDamagedOnesLeftEmpty)
{
    const QByteArray mailHost("\x04mail\x07""example\x04test\x00", 19);
    const struct {
        const char* what;
        RecordType type;
        QByteArray data;
        const char* value;
    } cases[] = {
        {"MX", RecordType::MX, QByteArray("\x00\x0a", 2) + mailHost, "10 mail.example.test"},
        {"null MX", RecordType::MX, QByteArray("\x00\x00\x00", 3), "0 ."},
        {"MX without its name", RecordType::MX, QByteArray("\x00\x0a", 2), ""},
        {"MX name running past the data", RecordType::MX, QByteArray("\x00\x0a\x09mail", 7), ""},
        {"compression pointer in a name", RecordType::PTR, QByteArray("\xc0\x0c", 2), ""},
        {"name without its end", RecordType::PTR, QByteArray("\x04mail", 5), ""},
        {"PTR", RecordType::PTR, mailHost, "mail.example.test"},
        {"A", RecordType::A, QByteArray("\xc0\x00\x02\x19", 4), "192.0.2.25"},
        {"A of five bytes", RecordType::A, QByteArray("\xc0\x00\x02\x19\x01", 5), ""},
        {"AAAA", RecordType::AAAA, QByteArray("\x20\x01\x0d\xb8", 4) + QByteArray(11, '\0') + '\x01', "2001:db8::1"},
        {"TXT strings joined", RecordType::TXT, QByteArray("\x06v=spf1\x05 -all", 13), "v=spf1 -all"},
        {"TXT string running past the data", RecordType::TXT, QByteArray("\x09v=spf1", 7), ""},
        {"TLSA", RecordType::TLSA, QByteArray("\x03\x01\x01\xab\xcd", 5), "3 1 1 abcd"},
        {"TLSA without data", RecordType::TLSA, QByteArray("\x03\x01\x01", 3), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(recordValue(c.type, c.data), QString::fromLatin1(c.value)) << c.what;
}
