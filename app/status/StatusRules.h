#pragma once

#include "certificates/CertificateCheck.h"
#include "maintenance/QueueListing.h"
#include "postfix/ServiceHealth.h"
#include "status/StatusCheck.h"

#include <QDateTime>
#include <QList>
#include <QString>

// What green, yellow and red mean for each check: pure functions of what
// the checks found.
namespace brevane::status {

/// Red within 3 days of the end date, before the start date or after the
/// end; yellow within 14 days. The certificate ending first decides.
Result certificateRule(const QList<certificates::CertificateFacts>& certificates, const QDateTime& now);

struct QueueLimits {
    qint64 oldestDeferredSeconds = 4 * 3600;
    qsizetype messages = 1000;
};
/// Red when a deferred message has waited the limit or longer, or the queue
/// holds the limit's number of messages or more.
Result queueRule(const QueueListing& listing, qint64 nowSeconds, const QueueLimits& limits);
/// Red: the queue could not be listed (`why` is what the listing said).
Result queueUnlistedRule(const QString& why);

struct SpaceFacts {
    QString role; ///< "queue", "mailboxes"
    QString path;
    bool readable = false;
    qint64 available = 0; ///< bytes an unprivileged writer may still use
    qint64 total = 0;
};
/// Above 10 % free green, 10 % or less yellow, 2 % or less red; the fullest
/// file system decides.
Result freeSpaceRule(const QList<SpaceFacts>& spaces);

struct ServiceFacts {
    QString name; ///< "Postfix"
    services::ServiceHealth health;
    /// A required service not loaded is red; an optional one is fine off.
    bool required = false;
    QString control; ///< where it is started: "the toolbar"
};
/// Red when a loaded service is not up, or a required one is not loaded.
Result servicesRule(const QList<ServiceFacts>& services);

/// Yellow: what a check needs is only read once the administrator has
/// logged in.
Result needsLoginRule();

} // namespace brevane::status
