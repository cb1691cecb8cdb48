#include "maintenance/UpdateCheck.h"

namespace brevane {

UpdateAlert updateAlertFor(const QString& queryResult, const QString& ownVersion)
{
    if (queryResult == ownVersion) {
        return {UpdateAlert::Kind::NoNewerVersion, QStringLiteral("There are no newer versions available."),
                QStringLiteral("You are running the latest version of Brevane for Leopard.\n"),
                {QStringLiteral("OK")}};
    }
    return {UpdateAlert::Kind::UpdateAvailable, QStringLiteral("An update for Brevane is available."),
            QStringLiteral("\nThere is a newer version available (version %1).\n"
                           "Click OK to go to the Brevane for Leopard download site.\n")
                .arg(queryResult),
            {QStringLiteral("OK"), QStringLiteral("Cancel")}};
}

} // namespace brevane
