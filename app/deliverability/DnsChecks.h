#pragma once

#include "deliverability/DnsLookup.h"
#include "deliverability/SpfEvaluation.h"

#include <QList>
#include <QMap>
#include <QString>

#include <functional>

// What each DNS record of a mail domain should say, how what was found
// compares, and the record to publish when it is missing or wrong. Every
// rule is a pure function of the answers; runChecks asks the questions.
namespace brevane::dns {

enum class CheckState {
    Passed,      ///< receivers will accept what is published
    Failed,      ///< missing or wrong: receivers reject or distrust our mail
    Unreachable, ///< no name server answered: nothing can be judged
    Unjudged,    ///< something only the administrator can tell is missing
};

struct CheckRow {
    QString group;      ///< the mail domain, or serverGroup for this server's own rows
    QString record;     ///< "PTR", "MX", "A/AAAA", "SPF", "DKIM", "DMARC", "DNSSEC", "TLSA"
    QString name;       ///< the DNS name asked for
    CheckState state = CheckState::Failed;
    QString found;      ///< what DNS answered, and why it passes or not
    QString expected;   ///< what would pass
    QString suggestion; ///< zone-file lines to publish; empty when passed

    bool operator==(const CheckRow&) const = default;
};

/// The group of the rows about this server rather than a domain.
inline constexpr char serverGroup[] = "This server";
/// Text of a row whose lookup found no server.
inline constexpr char unreachableText[] = "DNS not reachable";

/// The certificates a mail server serves on port 25, server certificate
/// first, each in DER; empty when none could be had.
using ServedChain = std::function<QList<QByteArray>(const QString& address)>;

struct CheckInput {
    QStringList domains;              ///< every mail domain, each judged
    QString selector;                 ///< DKIM selector
    QMap<QString, QString> publicKeys; ///< base64 of our DKIM public key by domain
    QString publicAddress;            ///< the address this server sends from, as typed
    bool validates = true;            ///< whether the resolver validates DNSSEC at all
};

/// `forward` holds the addresses of each host the PTR names; `domains` are
/// ours, where a missing A record is ours to publish.
CheckRow ptrRow(const QString& address, const QString& mailHost, const Answer& ptr, const QList<Answer>& forward,
                const QStringList& domains = {});
CheckRow mxRow(const QString& domain, const Answer& mx, const Answer& hostAddresses);
/// The MX host with the lowest preference; without one, the host mxRow
/// suggests ("mail." and the domain), so that every suggestion fits together.
QString mailHost(const QString& domain, const Answer& mx);
CheckRow addressRow(const QString& host, const Answer& a, const Answer& aaaa);
/// `ours` is the result for this server's address, `anyone` for an address
/// of nobody's; `address` empty when none was typed.
CheckRow spfRow(const QString& domain, const QString& address, const Answer& txt, const SpfVerdict& ours,
                const SpfVerdict& anyone);
CheckRow dkimRow(const QString& selector, const QString& domain, const QString& publicKey, const Answer& txt);
CheckRow dmarcRow(const QString& domain, const Answer& txt);
CheckRow dnssecRow(const QString& domain, const Answer& apex, bool validates);
/// `chain` is what the MX host serves, asked only when the record needs it.
CheckRow tlsaRow(const QString& mailHost, const Answer& tlsa, const std::function<QList<QByteArray>()>& chain);

/// The rows for this server, then every domain's, asking `lookup` and,
/// where a TLSA record must be matched, `served`.
QList<CheckRow> runChecks(const CheckInput& input, const Lookup& lookup, const ServedChain& served);

/// The DKIM record's name and text for our key.
QString dkimRecordName(const QString& selector, const QString& domain);
QString dkimRecordText(const QString& publicKey);
/// A TXT record as a zone-file line, its text cut into quoted strings of
/// at most 255 bytes, as DNS needs for a long DKIM key.
QString txtZoneLine(const QString& name, const QString& text);

/// A tag's value in a DKIM or DMARC tag list ("v=DKIM1; k=rsa; p=..."),
/// blanks removed; nullopt-like empty with `present` false when absent.
QString tagValue(const QString& tagList, const QString& tag, bool* present = nullptr);

} // namespace brevane::dns
