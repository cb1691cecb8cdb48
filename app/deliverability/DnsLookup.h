#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Asking DNS for the records mail delivery depends on, through the resolver
// the system is set up with (resolv.conf).
namespace brevane::dns {

enum class RecordType { MX, A, AAAA, TXT, PTR };

enum class Outcome {
    Found,       ///< one or more records of the type
    NoRecord,    ///< the name does not exist, or holds no record of the type
    Unreachable, ///< no name server answered in time, or it failed
};

struct Answer {
    Outcome outcome = Outcome::NoRecord;
    /// MX: "PREFERENCE HOST"; A/AAAA: the address; TXT: the strings of one
    /// record joined; PTR: the host. Host names without the final dot.
    QStringList values;

    bool operator==(const Answer&) const = default;
};

using Lookup = std::function<Answer(const QString& name, RecordType type)>;

/// Asks the system's resolver, giving up after about `timeoutSeconds`.
Answer resolve(const QString& name, RecordType type, int timeoutSeconds = 3);

/// The records of `type` in a DNS reply's answer section; Unreachable when
/// the bytes are no reply. A damaged record is left out, never read past.
Answer parseReply(const unsigned char* reply, int size, RecordType type);

/// The name a PTR record of the address is kept under
/// ("192.0.2.1" gives "1.2.0.192.in-addr.arpa"); empty for no address.
QString reverseName(const QString& address);

} // namespace brevane::dns
