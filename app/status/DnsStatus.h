#pragma once

#include "deliverability/DnsChecks.h"
#include "status/StatusCheck.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

// The DNS records of each mail domain as one Status row: the Deliverability
// tab's rules and lookups, weighed by what they cost the mail.
namespace brevane::status {

/// How much a Deliverability row matters: red when receivers reject or junk
/// our mail for it, yellow when it weakens delivery or cannot be judged.
/// `signs`: a DKIM key is there, so its record must match.
State weightOf(const dns::CheckRow& row, bool signs);

/// One domain's row from the Deliverability rows about it and this server.
Result dnsRecordsRule(const QList<dns::CheckRow>& rows, bool signs);

struct DnsStatusInputs {
    QStringList domains; ///< the mail domain and the virtual domains
    QString selector; ///< DKIM selector
    QMap<QString, QString> publicKeys; ///< our DKIM public keys by domain, when known
    QString publicAddress; ///< the address this server sends from
    /// Where the checks ask; empty: the system's resolver and port 25.
    /// A given lookup is asked from several threads at once.
    dns::Lookup lookup;
    dns::ServedChain served;
    /// Set by whoever no longer wants the answers: every question ends at once.
    std::shared_ptr<const std::atomic_bool> abandoned;
};

/// One check a domain, "dns:" and the domain for its id.
QList<Check> dnsChecks(const DnsStatusInputs& inputs);

} // namespace brevane::status
