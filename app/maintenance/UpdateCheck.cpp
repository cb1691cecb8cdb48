#include "maintenance/UpdateCheck.h"

#include <algorithm>

namespace brevane {

QString versionInReply(const QString& queryResult)
{
    const QString version = queryResult.trimmed();
    if (version.isEmpty() || version.size() > 64)
        return {};
    const bool plainLine = std::all_of(version.cbegin(), version.cend(), [](QChar c) {
        return (c.isPrint() || c == u'\t') && c != u'<' && c != u'>';
    });
    return plainLine ? version : QString();
}

UpdateAlert updateAlertFor(const QString& queryResult, const QString& ownVersion, const QString& site)
{
    const QString version = versionInReply(queryResult);
    if (version.isEmpty()) {
        return {UpdateAlert::Kind::CheckFailed, QStringLiteral("The update check failed."),
                QStringLiteral("Brevane could not read the latest version number from %1.\n"
                               "Check the network connection and try again later.\n")
                    .arg(site),
                {QStringLiteral("OK")}};
    }
    if (version == ownVersion) {
        return {UpdateAlert::Kind::NoNewerVersion, QStringLiteral("There are no newer versions available."),
                QStringLiteral("You are running the latest version of Brevane for Leopard.\n"),
                {QStringLiteral("OK")}};
    }
    return {UpdateAlert::Kind::UpdateAvailable, QStringLiteral("An update for Brevane is available."),
            QStringLiteral("\nThere is a newer version available (version %1).\n"
                           "Click OK to go to the Brevane for Leopard download site.\n")
                .arg(version),
            {QStringLiteral("OK"), QStringLiteral("Cancel")}};
}

} // namespace brevane
