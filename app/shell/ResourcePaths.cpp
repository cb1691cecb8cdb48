#include "shell/ResourcePaths.h"

#include <QCoreApplication>
#include <QFile>

namespace brevane {

QString resourceDirectory()
{
    const QString overridden = qEnvironmentVariable("BREVANE_RESOURCES");
    if (!overridden.isEmpty())
        return overridden;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Resources");
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
