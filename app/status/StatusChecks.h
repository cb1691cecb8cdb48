#pragma once

#include "status/DnsStatus.h"
#include "status/OutsideChecks.h"
#include "status/StatusCheck.h"
#include "status/StatusRules.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The checks of the Status tab, from what the caller has already probed
// (services and certificates need root) and what a check reads by itself
// without privileges (the queue listing, free space).
namespace brevane::status {

struct StatusInputs {
    /// Unset before login: the probes run as root.
    std::optional<QList<ServiceFacts>> services;
    std::optional<QList<certificates::CertificateFacts>> certificates;
    QStringList queueCommand { QStringLiteral("/usr/sbin/postqueue"), QStringLiteral("-j") };
    QString queueDirectory = QStringLiteral("/var/spool/postfix");
    QString mailboxDirectory = QStringLiteral("/var/mail");
    QueueLimits queueLimits;
    DnsStatusInputs dns;
    OutsideInputs outside;
};

/// Services, certificates, queue and free space, then the DNS of each mail
/// domain, then the checks from outside, in that order.
QList<Check> statusChecks(const StatusInputs& inputs);

/// What the queue check does: the listing command without privileges, its
/// output read by the queue view's reader. Gives up after `timeLimitMs`.
Result checkQueue(const QStringList& command, const QueueLimits& limits, int timeLimitMs);

/// The mount points inside `path`, each a file system the folder also uses.
QStringList mountsBelow(const QString& path);

/// What the free-space check does for one folder.
SpaceFacts spaceOf(const QString& role, const QString& path);

} // namespace brevane::status
