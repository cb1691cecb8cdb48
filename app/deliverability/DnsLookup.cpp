#include "deliverability/DnsLookup.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <array>

namespace brevane::dns {

namespace {

// A name in wire form, uncompressed as a resolver hands record data over:
// labels, each after its length byte, ending in the empty one.
QString wireName(const QByteArray& data, qsizetype at)
{
    QStringList labels;
    while (at < data.size()) {
        const int length = static_cast<unsigned char>(data.at(at));
        if (length == 0)
            return labels.isEmpty() ? QStringLiteral(".") : labels.join(u'.');
        // A compression pointer or a label running past the data: damaged.
        if (length > 63 || at + 1 + length > data.size())
            return {};
        labels.append(QString::fromLatin1(data.mid(at + 1, length)));
        at += 1 + length;
    }
    return {};
}

QString addressText(const QByteArray& data, int family)
{
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (data.size() != (family == AF_INET ? 4 : 16) || !inet_ntop(family, data.constData(), text.data(), text.size()))
        return {};
    return QString::fromLatin1(text.data());
}

// Character strings, each after its length byte, read as one text.
QString joinedStrings(const QByteArray& data)
{
    QByteArray joined;
    for (qsizetype at = 0; at < data.size();) {
        const int piece = static_cast<unsigned char>(data.at(at));
        if (at + 1 + piece > data.size())
            return {};
        joined.append(data.mid(at + 1, piece));
        at += 1 + piece;
    }
    return QString::fromUtf8(joined);
}

int byteAt(const QByteArray& data, qsizetype at)
{
    return static_cast<unsigned char>(data.at(at));
}

} // namespace

int typeNumber(RecordType type)
{
    switch (type) {
    case RecordType::MX:
        return 15;
    case RecordType::A:
        return 1;
    case RecordType::AAAA:
        return 28;
    case RecordType::TXT:
        return 16;
    case RecordType::PTR:
        return 12;
    case RecordType::TLSA:
        return 52;
    }
    return 1;
}

QString recordValue(RecordType type, const QByteArray& data)
{
    switch (type) {
    case RecordType::MX: {
        if (data.size() < 3)
            return {};
        const QString host = wireName(data, 2);
        return host.isEmpty() ? QString() : QStringLiteral("%1 %2").arg(byteAt(data, 0) << 8 | byteAt(data, 1)).arg(host);
    }
    case RecordType::A:
        return addressText(data, AF_INET);
    case RecordType::AAAA:
        return addressText(data, AF_INET6);
    case RecordType::TXT:
        return joinedStrings(data);
    case RecordType::PTR:
        return wireName(data, 0);
    case RecordType::TLSA:
        if (data.size() < 4)
            return {};
        return QStringLiteral("%1 %2 %3 %4")
            .arg(byteAt(data, 0))
            .arg(byteAt(data, 1))
            .arg(byteAt(data, 2))
            .arg(QString::fromLatin1(data.mid(3).toHex()));
    }
    return {};
}

QString reverseName(const QString& address)
{
    const QByteArray text = address.trimmed().toLatin1();
    std::array<unsigned char, 16> bytes{};
    QStringList labels;
    if (inet_pton(AF_INET, text.constData(), bytes.data()) == 1) {
        for (int i = 3; i >= 0; --i)
            labels.append(QString::number(bytes[i]));
        return labels.join(u'.') + QStringLiteral(".in-addr.arpa");
    }
    if (inet_pton(AF_INET6, text.constData(), bytes.data()) == 1) {
        for (int i = 15; i >= 0; --i) {
            labels.append(QString::number(bytes[i] & 0x0f, 16));
            labels.append(QString::number(bytes[i] >> 4, 16));
        }
        return labels.join(u'.') + QStringLiteral(".ip6.arpa");
    }
    return {};
}

bool sameHost(QString a, QString b)
{
    while (a.endsWith(u'.'))
        a.chop(1);
    while (b.endsWith(u'.'))
        b.chop(1);
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace brevane::dns
