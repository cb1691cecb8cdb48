#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Where the maker's web pages and version-query script live. The host is a
// setting so that a mirror or a test server can stand in for it.
namespace brevane {

inline constexpr char makerSiteKey[] = "makerSite";
inline constexpr char defaultMakerSite[] = "https://www.tarnwick.example";

/// The "makerSite" setting (QSettings), or the default when unset or empty;
/// trailing slashes are dropped so paths can be appended.
QString makerSite();

/// The page for a link's tag: 80 the product download page, 82 the site's
/// root page; an empty (invalid) address for any other tag, which opens
/// nothing.
QUrl pageForTag(int tag);

/// "/usr/bin/curl", "-s", the version-query address (item 3006).
QStringList versionQueryCommand();

} // namespace brevane
