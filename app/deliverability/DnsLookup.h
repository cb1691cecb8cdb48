#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Asking DNS for the records mail delivery depends on. The questions and
// their answers are plain values, so the rules that judge them can be fed
// scripted answers; UnboundResolver asks real servers.
namespace brevane::dns {

enum class RecordType { MX, A, AAAA, TXT, PTR, TLSA };

enum class Outcome {
    Found,       ///< one or more records of the type
    NoRecord,    ///< the name does not exist, or holds no record of the type
    Unreachable, ///< no name server answered in time, or it failed
};

/// What DNSSEC validation said of an answer.
enum class Security {
    Insecure, ///< no signed chain leads to it: taken as it is
    Secure,   ///< signed, and the signatures check out up to a trust anchor
    Bogus,    ///< signed, but a signature or the chain to it is broken
};

struct Answer {
    Outcome outcome = Outcome::NoRecord;
    /// MX: "PREFERENCE HOST"; A/AAAA: the address; TXT: the strings of one
    /// record joined; PTR: the host; TLSA: "USAGE SELECTOR MATCHING HEX".
    /// Host names without the final dot.
    QStringList values;
    Security security = Security::Insecure;
    /// The name the records are at when the name asked for is an alias
    /// (CNAME, followed to its end); empty when it is none.
    QString canonicalName;
    /// Why validation failed, for a bogus answer.
    QString whyBogus;

    bool operator==(const Answer&) const = default;
};

using Lookup = std::function<Answer(const QString& name, RecordType type)>;

/// The DNS type number of the record type.
int typeNumber(RecordType type);

/// One record's data (its RDATA, names uncompressed) as Answer::values holds
/// it; empty when the bytes are damaged. Never reads past `data`.
QString recordValue(RecordType type, const QByteArray& data);

/// The name a PTR record of the address is kept under
/// ("192.0.2.1" gives "1.2.0.192.in-addr.arpa"); empty for no address.
QString reverseName(const QString& address);

/// The same host name, whatever its case and final dot.
bool sameHost(QString a, QString b);

} // namespace brevane::dns
