#pragma once

#include "status/OutsideRules.h"
#include "status/StatusCheck.h"

#include <QList>
#include <QString>
#include <QStringList>

// The checks that look at this server from outside: its ports and relaying
// from the administrator's vantage point, its address on DNS block lists.
namespace brevane::status {

/// zen.spamhaus.org (Spamhaus's combined lists: spam sources, exploited
/// machines, dynamic ranges), bl.spamcop.net (reported spam sources) and
/// b.barracudacentral.org (Barracuda's reputation list): the three that
/// receivers most often reject by. All list 127.0.0.2 as their test entry.
QStringList defaultBlockZones();

struct OutsideInputs {
    QString vantage; ///< as the administrator typed it; empty: not set
    /// The name or address the vantage connects to: the public address when
    /// given, otherwise this server's host name.
    QString target;
    /// Asked of the block lists; empty: the target's A and AAAA records.
    QStringList publicAddresses;
    QList<PortToProbe> ports;
    QString relaySender = QStringLiteral("relay-check@brevane-relay-check.invalid");
    QString relayRecipient = QStringLiteral("relay-test@brevane-relay-check.invalid");
    QStringList blockZones = defaultBlockZones();
    dns::Lookup blockListLookup; ///< empty: this machine's resolver
};

/// A row a port, the relay test, then the block lists.
QList<Check> outsideChecks(const OutsideInputs& inputs);

struct ProbeRun {
    QString output;
    bool ran = false; ///< the vantage ran the probe and it ended by itself
};
/// Runs the probe script through the vantage command as "bash -s -- ARGS",
/// the script on standard input; ended after `timeLimitMs`.
ProbeRun runProbe(const QStringList& vantage, const QStringList& arguments, int timeLimitMs);

/// What each zone says of each address, asked through this machine's resolver.
QList<ZoneFinding> askBlockLists(const QStringList& addresses, const QStringList& zones, const dns::Lookup& lookup);

} // namespace brevane::status
