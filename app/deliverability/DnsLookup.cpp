#include "deliverability/DnsLookup.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace brevane::dns {

namespace {

int queryType(RecordType type)
{
    switch (type) {
    case RecordType::MX:
        return ns_t_mx;
    case RecordType::A:
        return ns_t_a;
    case RecordType::AAAA:
        return ns_t_aaaa;
    case RecordType::TXT:
        return ns_t_txt;
    case RecordType::PTR:
        return ns_t_ptr;
    }
    return ns_t_a;
}

QString expandedName(const ns_msg& message, const unsigned char* at)
{
    std::array<char, NS_MAXDNAME> name{};
    if (ns_name_uncompress(ns_msg_base(message), ns_msg_end(message), at, name.data(), name.size()) < 0)
        return {};
    return QString::fromLatin1(name.data());
}

// One record's data as Answer::values holds it; empty when it is damaged.
QString recordValue(const ns_msg& message, const ns_rr& record)
{
    const unsigned char* data = ns_rr_rdata(record);
    const int length = ns_rr_rdlen(record);
    switch (ns_rr_type(record)) {
    case ns_t_mx: {
        if (length < 3)
            return {};
        const QString host = expandedName(message, data + 2);
        return host.isEmpty() ? QString() : QStringLiteral("%1 %2").arg(ns_get16(data)).arg(host);
    }
    case ns_t_a:
    case ns_t_aaaa: {
        std::array<char, INET6_ADDRSTRLEN> text{};
        const int family = ns_rr_type(record) == ns_t_a ? AF_INET : AF_INET6;
        if (length != (family == AF_INET ? 4 : 16) || !inet_ntop(family, data, text.data(), text.size()))
            return {};
        return QString::fromLatin1(text.data());
    }
    case ns_t_txt: {
        // Character strings, each after its length byte, read as one text.
        QByteArray joined;
        for (int at = 0; at < length;) {
            const int piece = data[at];
            if (at + 1 + piece > length)
                return {};
            joined.append(reinterpret_cast<const char*>(data + at + 1), piece);
            at += 1 + piece;
        }
        return QString::fromUtf8(joined);
    }
    case ns_t_ptr:
        return expandedName(message, data);
    default:
        return {};
    }
}

} // namespace

Answer resolve(const QString& name, RecordType type, int timeoutSeconds)
{
    struct __res_state state;
    std::memset(&state, 0, sizeof state);
    if (res_ninit(&state) != 0)
        return {Outcome::Unreachable, {}};
    state.retrans = timeoutSeconds > 1 ? timeoutSeconds : 1;
    state.retry = 1;
    std::array<unsigned char, 8192> reply{};
    const QByteArray query = name.toLatin1();
    const int size = res_nquery(&state, query.constData(), ns_c_in, queryType(type), reply.data(), reply.size());
    const int failure = state.res_h_errno;
    res_nclose(&state);
    if (size < 0) {
        // HOST_NOT_FOUND and NO_DATA are answers; anything else means no server told us.
        if (failure == HOST_NOT_FOUND || failure == NO_DATA)
            return {Outcome::NoRecord, {}};
        return {Outcome::Unreachable, {}};
    }
    // A longer answer than the buffer reports its whole length: read only what arrived.
    return parseReply(reply.data(), std::min<int>(size, int(reply.size())), type);
}

Answer parseReply(const unsigned char* reply, int size, RecordType type)
{
    ns_msg message;
    if (size <= 0 || ns_initparse(reply, size, &message) < 0)
        return {Outcome::Unreachable, {}};
    Answer answer;
    for (int i = 0; i < ns_msg_count(message, ns_s_an); ++i) {
        ns_rr record;
        if (ns_parserr(&message, ns_s_an, i, &record) < 0 || ns_rr_type(record) != queryType(type))
            continue;
        const QString value = recordValue(message, record);
        if (!value.isEmpty())
            answer.values.append(value);
    }
    answer.outcome = answer.values.isEmpty() ? Outcome::NoRecord : Outcome::Found;
    return answer;
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

} // namespace brevane::dns
