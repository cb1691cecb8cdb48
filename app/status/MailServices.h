#pragma once

#include "status/StatusRules.h"

#include <QList>
#include <QString>
#include <functional>

// The services row's facts from what root's probes printed: Postfix,
// fetchmail, and each IMAP or POP job that `launchctl list` names.
namespace brevane::status {

struct ServiceProbes {
    QString postfix; ///< services::postfixHealthProbe()'s output
    QString fetchmail; ///< services::fetchmailHealthProbe()'s output
    QString jobListing; ///< `launchctl list`
};

/// A listed IMAP or POP job is up when its port answers; one not listed was
/// turned off and is left out.
QList<ServiceFacts> mailServiceFacts(const ServiceProbes& probes, const std::function<bool(int)>& portAnswers);

} // namespace brevane::status
