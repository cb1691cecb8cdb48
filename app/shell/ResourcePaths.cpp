#include "shell/ResourcePaths.h"

#include "auth/TrustedPath.h"

#include <QCoreApplication>
#include <QFile>

namespace brevane {

QString resourceDirectory()
{
    const QString overridden = resourceDirectoryOverride();
    if (!overridden.isEmpty())
        return overridden;
    // applicationDirPath() comes from /proc/self/exe: the real executable,
    // whatever link or working folder it was started through.
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Resources");
}

bool isTrustedResource(const QString& path)
{
    return !resourceDirectoryOverride().isEmpty() || auth::isRootTrustedPath(QFile::encodeName(path).toStdString());
}

QString scriptText(const QString& fileName)
{
    QFile file(QStringLiteral(":/scripts/") + fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("script %s is not compiled in", qPrintable(fileName));
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace brevane
