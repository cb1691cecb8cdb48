#include "shell/StartupRules.h"

#include <QFile>
#include <QHash>
#include <QXmlStreamReader>

namespace brevane::startup {

namespace {

/// Reads the string values of a flat property-list dictionary.
QHash<QString, QString> plistStrings(const QByteArray& bytes)
{
    QHash<QString, QString> values;
    QXmlStreamReader xml(bytes);
    QString key;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("key"))
            key = xml.readElementText();
        else if (xml.name() == QLatin1String("string") && !key.isEmpty())
            values.insert(std::exchange(key, QString()), xml.readElementText());
    }
    if (xml.hasError())
        return {};
    return values;
}

} // namespace

QString operatingSystemVersionString(const QString& plistPath)
{
    // Tests point the check at a file of their own.
    const QString overridden = qEnvironmentVariable("BREVANE_SYSTEM_VERSION_PLIST");
    QFile file(overridden.isEmpty() ? plistPath : overridden);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return versionStringFromPlist(file.read(1 << 16));
}

QString versionStringFromPlist(const QByteArray& bytes)
{
    const QHash<QString, QString> values = plistStrings(bytes);
    const QString version = values.value(QStringLiteral("ProductVersion"));
    if (version.isEmpty())
        return {};
    return QStringLiteral("Version %1 (Build %2)").arg(version, values.value(QStringLiteral("ProductBuildVersion")));
}

bool isSupportedSystemVersion(const QString& versionString)
{
    const QStringList words = versionString.split(QLatin1Char(' '));
    if (words.size() < 2)
        return false;
    const QStringList pieces = words.at(1).split(QLatin1Char('.'));
    if (pieces.size() < 2)
        return false;
    const QString joined = pieces.at(0) + pieces.at(1);
    qsizetype digits = 0;
    while (digits < joined.size() && joined.at(digits).isDigit() && joined.at(digits).unicode() < 128)
        ++digits;
    return joined.left(digits).toLongLong() == 105;
}

const QList<SystemDaemon>& systemDaemons()
{
    static const QList<SystemDaemon> daemons{
        {QStringLiteral("(test `launchctl list | grep org.postfix.master* | awk '{print $3}'`) && echo YES"),
         QStringLiteral("launchctl unload -w /System/Library/LaunchDaemons/org.postfix.master*")},
        {QStringLiteral("(test `launchctl list | grep edu.washington.imap* | sed 1q | awk '{print $3}'`) && echo YES"),
         QStringLiteral("launchctl unload -w /System/Library/LaunchDaemons/edu.washington.imap*")},
        {QStringLiteral("(test `launchctl list | grep edu.washington.pop* | sed 1q | awk '{print $3}'`) && echo YES"),
         QStringLiteral("launchctl unload -w /System/Library/LaunchDaemons/edu.washington.pop*")},
        {QStringLiteral("(test `launchctl list | grep org.catb.fetchmail* | awk '{print $3}'`) && echo YES"),
         QStringLiteral("launchctl unload -w /System/Library/LaunchDaemons/org.catb.fetchmail* ; fetchmail -q ")},
    };
    return daemons;
}

QString localUsersCommand()
{
    return QStringLiteral(
        "dscl . list ./users uid | grep \"5[0123456789][0123456789]\" | awk '{print $1}'");
}

QStringList startUpReadLines()
{
    QStringList lines;
    for (const SystemDaemon& daemon : systemDaemons())
        lines << daemon.test;
    return lines << localUsersCommand();
}

QStringList parseLocalUsers(const QString& listing)
{
    QStringList users;
    for (const QString& piece : listing.split(QLatin1Char('\n')))
        if (!piece.isEmpty())
            users.append(piece);
    return users;
}

} // namespace brevane::startup
