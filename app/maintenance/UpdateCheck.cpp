#include "maintenance/UpdateCheck.h"

#include <algorithm>

namespace brevane {

bool looksLikeVersion(const QString& queryResult)
{
    if (queryResult.isEmpty() || queryResult.size() > 64)
        return false;
    return std::all_of(queryResult.cbegin(), queryResult.cend(), [](QChar c) {
        return c.isPrint() && !c.isSpace() && c != u'<' && c != u'>';
    });
}

UpdateAlert updateAlertFor(const QString& queryResult, const QString& ownVersion, const QString& site)
{
    if (!looksLikeVersion(queryResult)) {
        return {UpdateAlert::Kind::CheckFailed, QStringLiteral("The update check failed."),
                QStringLiteral("Brevane could not read the latest version number from %1.\n"
                               "Check the network connection and try again later.\n")
                    .arg(site),
                {QStringLiteral("OK")}};
    }
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
