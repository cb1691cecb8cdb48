// Replies built byte by byte, as a name server (or someone pretending to be
// one) could send them.
#include "deliverability/DnsLookup.h"

#include <gtest/gtest.h>

#include <QByteArray>

using namespace brevane::dns;

namespace {

QByteArray name(const QByteArray& dotted)
{
    QByteArray wire;
    for (const QByteArray& label : dotted.split('.'))
        wire += char(label.size()) + label;
    return wire + '\0';
}

QByteArray u16(int value)
{
    return QByteArray(1, char(value >> 8)) + char(value & 0xff);
}

struct Record {
    int type;
    QByteArray data;
};

// A reply to one question about example.test, its answers' owner a pointer to it.
QByteArray reply(int questionType, const QList<Record>& answers)
{
    QByteArray wire = u16(0x1234) + u16(0x8180) + u16(1) + u16(int(answers.size())) + u16(0) + u16(0);
    wire += name("example.test") + u16(questionType) + u16(1);
    for (const Record& answer : answers)
        wire += u16(0xc00c) + u16(answer.type) + u16(1) + QByteArray("\0\0\x0e\x10", 4) + u16(int(answer.data.size()))
                + answer.data;
    return wire;
}

Answer parse(const QByteArray& wire, RecordType type)
{
    return parseReply(reinterpret_cast<const unsigned char*>(wire.constData()), int(wire.size()), type);
}

} // namespace

TEST(DnsReply, RecordsOfEachType)
{
    const struct {
        const char* what;
        RecordType type;
        int wireType;
        QByteArray data;
        QStringList values;
    } cases[] = {
        {"MX", RecordType::MX, 15, u16(10) + name("mail.example.test"), {"10 mail.example.test"}},
        {"MX compressed against the question", RecordType::MX, 15, u16(5) + "\x04mail" + u16(0xc00c),
         {"5 mail.example.test"}},
        {"A", RecordType::A, 1, QByteArray("\xc0\x00\x02\x19", 4), {"192.0.2.25"}},
        {"AAAA", RecordType::AAAA, 28, QByteArray("\x20\x01\x0d\xb8", 4) + QByteArray(11, '\0') + '\x01',
         {"2001:db8::1"}},
        {"PTR", RecordType::PTR, 12, name("mail.example.test"), {"mail.example.test"}},
        {"TXT of two strings read as one", RecordType::TXT, 16, QByteArray("\x07v=DKIM1\x05; p=K"),
         {"v=DKIM1; p=K"}},
        {"TXT whose length byte runs past the record", RecordType::TXT, 16, QByteArray("\x09v=spf1", 7), {}},
        {"A of the wrong length", RecordType::A, 1, QByteArray("\x7f\x00\x00", 3), {}},
        {"MX too short to hold a host", RecordType::MX, 15, u16(10), {}},
    };
    for (const auto& c : cases) {
        const Answer answer = parse(reply(c.wireType, {{c.wireType, c.data}}), c.type);
        EXPECT_EQ(answer.values, c.values) << c.what;
        EXPECT_EQ(answer.outcome, c.values.isEmpty() ? Outcome::NoRecord : Outcome::Found) << c.what;
    }
}

TEST(DnsReply, OnlyRecordsOfTheTypeAskedForCount)
{
    // A CNAME in front of the TXT, as a resolver answers through an alias.
    const QByteArray wire = reply(16, {{5, name("alias.example.test")}, {16, QByteArray("\x0ev=spf1 mx -all")}});
    EXPECT_EQ(parse(wire, RecordType::TXT).values, QStringList({"v=spf1 mx -all"}));
}

TEST(DnsReply, BytesThatAreNoReplyAreUnreachable)
{
    EXPECT_EQ(parse(QByteArray(), RecordType::A).outcome, Outcome::Unreachable);
    EXPECT_EQ(parse(QByteArray("\x12\x34\x81", 3), RecordType::A).outcome, Outcome::Unreachable);
    // Cut inside its answer: the answer is left out, nothing read past the end.
    QByteArray cut = reply(1, {{1, QByteArray("\xc0\x00\x02\x19", 4)}});
    cut.chop(2);
    EXPECT_TRUE(parse(cut, RecordType::A).values.isEmpty());
}
