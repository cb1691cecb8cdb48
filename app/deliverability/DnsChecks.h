#pragma once

#include "deliverability/DnsLookup.h"

#include <QList>
#include <QString>

// What each DNS record of a mail domain should say, how what was found
// compares, and the record to publish when it is missing or wrong.
namespace brevane::dns {

enum class CheckState { Passed, Failed, Unreachable };

struct CheckRow {
    QString record;     ///< "MX", "A/AAAA", "PTR", "SPF", "DKIM", "DMARC"
    QString name;       ///< the DNS name asked for
    CheckState state = CheckState::Failed;
    QString found;      ///< what DNS answered, for the window
    QString expected;   ///< what would pass
    QString suggestion; ///< a zone-file line to publish; empty when passed

    bool operator==(const CheckRow&) const = default;
};

struct CheckInput {
    QString domain;        ///< the mail domain
    QString selector;      ///< DKIM selector
    QString publicKey;     ///< base64 of our DKIM public key; empty when there is none
    QString publicAddress; ///< this server's address; empty: the MX host's own
};

/// Text of a row whose lookup found no server.
inline constexpr char unreachableText[] = "DNS not reachable";

CheckRow mxRow(const QString& domain, const Answer& mx);
/// The MX host with the lowest preference; without one, the host mxRow
/// suggests ("mail." and the domain), so that every suggestion fits together.
QString mailHost(const QString& domain, const Answer& mx);
CheckRow addressRow(const QString& host, const Answer& a, const Answer& aaaa);
CheckRow ptrRow(const QString& address, const QString& host, const Answer& ptr);
CheckRow spfRow(const QString& domain, const Answer& txt);
CheckRow dkimRow(const QString& selector, const QString& domain, const QString& publicKey, const Answer& txt);
CheckRow dmarcRow(const QString& domain, const Answer& txt);

/// Every row for the domain, in the order above, asking `lookup`.
QList<CheckRow> runChecks(const CheckInput& input, const Lookup& lookup);

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
