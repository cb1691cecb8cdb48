#include "maintenance/MakerSite.h"

#include <QSettings>

namespace brevane {

QString makerSite()
{
    QString site = QSettings().value(QLatin1String(makerSiteKey)).toString().trimmed();
    while (site.endsWith(u'/'))
        site.chop(1);
    return site.isEmpty() ? QString::fromLatin1(defaultMakerSite) : site;
}

QUrl pageForTag(int tag)
{
    switch (tag) {
    case 80:
        return QUrl(makerSite() + QStringLiteral("/software/BrevaneForLeopard/"));
    case 82:
        return QUrl(makerSite() + QStringLiteral("/"));
    default:
        return {};
    }
}

QStringList versionQueryCommand()
{
    return {QStringLiteral("/usr/bin/curl"), QStringLiteral("-s"),
            makerSite() + QStringLiteral("/software/version.php?item_number=3006")};
}

} // namespace brevane
