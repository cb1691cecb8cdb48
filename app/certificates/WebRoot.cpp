#include "certificates/WebRoot.h"

#include "certificates/AcmeSettings.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace brevane::acme {

namespace {

const QStringList challengeFolders{QStringLiteral(".well-known"), QStringLiteral(".well-known/acme-challenge")};

bool inWebServersTree(const QString& path)
{
    return path == QLatin1String("/var/www") || path.startsWith(QLatin1String("/var/www/"))
        || (path.startsWith(QLatin1String("/srv/")) && path.size() > 5);
}

FolderFacts factsOf(const QString& path)
{
    FolderFacts facts;
    facts.path = path;
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return facts;
    facts.exists = true;
    facts.isLink = S_ISLNK(info.st_mode);
    facts.isFolder = S_ISDIR(info.st_mode);
    facts.owner = info.st_uid;
    facts.mode = info.st_mode & 07777;
    return facts;
}

std::optional<QString> folderProblem(const FolderFacts& folder)
{
    if (folder.isLink)
        return QStringLiteral("%1 is a link; the web root and every folder above and below it must be real "
                              "folders.")
            .arg(folder.path);
    if (!folder.isFolder)
        return QStringLiteral("%1 is not a folder.").arg(folder.path);
    if (folder.owner != 0)
        return QStringLiteral("%1 belongs to another user, who could swap it for a link before a renewal; certbot "
                              "writes there as root, so it must be root's (chown root:root %1).")
            .arg(folder.path);
    if (folder.mode & 022)
        return QStringLiteral("%1 may be changed by other users; it must be writable by root only (chmod go-w %1).")
            .arg(folder.path);
    return std::nullopt;
}

} // namespace

QList<FolderFacts> webrootFacts(const QString& webroot)
{
    QList<FolderFacts> facts{factsOf(QStringLiteral("/"))};
    QString path;
    for (const QString& part : webroot.split(u'/', Qt::SkipEmptyParts)) {
        path += u'/' + part;
        facts.append(factsOf(path));
    }
    for (const QString& below : challengeFolders)
        facts.append(factsOf(path + u'/' + below));
    return facts;
}

std::optional<QString> webrootProblem(const QString& webroot, const QList<FolderFacts>& facts)
{
    if (!isWebroot(webroot))
        return QStringLiteral("The web root must be the absolute path of the web server's document folder.");
    const QString path = QDir::cleanPath(webroot);
    if (!inWebServersTree(path))
        return QStringLiteral("The web root must lie in /var/www or /srv, the web server's folders, not %1.").arg(path);
    for (const FolderFacts& folder : facts) {
        const bool challengeFolder = folder.path.startsWith(path + QLatin1String("/.well-known"));
        if (!folder.exists && !folder.isLink) {
            if (challengeFolder)
                continue; // certbot makes them, as root's
            return QStringLiteral("%1 does not exist.").arg(folder.path);
        }
        if (const auto problem = folderProblem(folder))
            return problem;
    }
    return std::nullopt;
}

} // namespace brevane::acme
