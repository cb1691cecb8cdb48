#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Where the maker's web pages and version-query script live. The host is a
// setting so that a mirror or a test server can stand in for it.
namespace brevane {

inline constexpr char makerSiteKey[] = "makerSite";
inline constexpr char defaultMakerSite[] = "https://www.tarnwick.example";

/// Whether a site is a plain http or https address (a host, maybe a port
/// and a path; no account, query, blanks or control characters).
bool isWebSite(const QString& site);

/// The "makerSite" setting (QSettings), or the default when unset, empty or
/// no web site (the setting is the user's own file, and its text reaches
/// curl's command line); trailing slashes are dropped so paths can be
/// appended.
QString makerSite();

/// The page for a link's tag: 80 the product download page, 82 the site's
/// root page; an empty (invalid) address for any other tag, which opens
/// nothing.
QUrl pageForTag(int tag);

/// "/usr/bin/curl", "-s", "--", the version-query address (item 3006): the
/// address can never be read as an option. Run without privileges.
QStringList versionQueryCommand();

} // namespace brevane
