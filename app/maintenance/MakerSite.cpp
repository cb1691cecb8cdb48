#include "maintenance/MakerSite.h"

#include <QSettings>

#include <algorithm>

namespace brevane {

bool isWebSite(const QString& site)
{
    const QUrl url(site, QUrl::StrictMode);
    const bool plain = std::none_of(site.cbegin(), site.cend(), [](QChar c) { return c.isSpace() || !c.isPrint(); });
    return plain && url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
           && !url.host().isEmpty() && url.userInfo().isEmpty() && !url.hasQuery() && !url.hasFragment();
}

QString makerSite()
{
    QString site = QSettings().value(QLatin1String(makerSiteKey)).toString().trimmed();
    while (site.endsWith(u'/'))
        site.chop(1);
    return isWebSite(site) ? site : QString::fromLatin1(defaultMakerSite);
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
    return {QStringLiteral("/usr/bin/curl"), QStringLiteral("-s"), QStringLiteral("--"),
            makerSite() + QStringLiteral("/software/version.php?item_number=3006")};
}

} // namespace brevane
