#include "status/MailServices.h"

#include "postfix/ServiceHealth.h"
#include "postfix/ServiceRules.h"

namespace brevane::status {

namespace {

    bool listed(const QString& listing, const QString& label)
    {
        for (const QString& line : listing.split(u'\n'))
            if (line.section(u'\t', 2, 2).trimmed() == label)
                return true;
        return false;
    }

} // namespace

QList<ServiceFacts> mailServiceFacts(const ServiceProbes& probes, const std::function<bool(int)>& portAnswers)
{
    QList<ServiceFacts> facts {
        { QStringLiteral("Postfix"), services::postfixHealth(probes.postfix, portAnswers(25)), true,
            QStringLiteral("the toolbar") },
        { QStringLiteral("fetchmail"), services::fetchmailHealth(probes.fetchmail), false,
            QStringLiteral("the Fetchmail tab") },
    };
    for (const services::UWService& service : services::uwServices()) {
        const QString job = QStringLiteral("com.dadarozudedarid.uw_") + service.name.toLower();
        // One the administrator turned off is not part of this server.
        if (!listed(probes.jobListing, job))
            continue;
        services::ServiceHealth health { true, portAnswers(service.port), {} };
        if (!health.up)
            health.why = QStringLiteral("nothing answers on port %1").arg(service.port);
        facts.append({ service.name, health, false, QStringLiteral("the toolbar") });
    }
    return facts;
}

} // namespace brevane::status
