#pragma once

#include <QList>
#include <QString>

#include <optional>

// The web root certbot writes the CA's challenge into, as root, at the
// request and at every renewal after it: it must lead nowhere but into the
// web server's folder. A settings document names it, so a path such as
// /etc, or a site folder another user owns (the web server's own user
// included), which could become a link to /etc/cron.d at any time, would
// have root write a file whose name the CA chooses wherever it points.
// Only a path that is root's alone stays where it was checked.
namespace brevane::acme {

/// One folder on the way, as lstat(2) sees it (links never followed).
struct FolderFacts {
    QString path;
    bool exists = false;
    bool isLink = false;
    bool isFolder = false;
    unsigned owner = 0;
    unsigned mode = 0;
};

/// The facts of "/", of every folder down to `webroot`, then of its
/// .well-known and .well-known/acme-challenge.
QList<FolderFacts> webrootFacts(const QString& webroot);

/// What is wrong with certbot writing below `webroot`, or nullopt: it lies
/// in /var/www or below /srv; every folder from "/" down to it, and the
/// challenge folders below it where they exist, is a real folder (no link
/// anywhere), owned by root and writable by root only.
std::optional<QString> webrootProblem(const QString& webroot, const QList<FolderFacts>& facts);

} // namespace brevane::acme
