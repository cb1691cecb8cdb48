#include "postfix/SmartHosts.h"

#include "shell/CommandRunner.h"
#include "shell/TextHelpers.h"

namespace brevane {

namespace {

const QString locationKey = QStringLiteral("location");
const QString hostKey = QStringLiteral("smartHostName");
const QString archiveKey = QStringLiteral("smartHosts");

QString menuTitle(const Row& row)
{
    // A row that names no relay host has nothing to choose.
    if (trimSpacesAndTabs(row.value(hostKey).toString()).isEmpty())
        return {};
    if (row.contains(locationKey))
        return trimSpacesAndTabs(row.value(locationKey).toString());
    return trimSpacesAndTabs(row.value(hostKey).toString());
}

} // namespace

QStringList smartHostMenuTitles(const Rows& rows)
{
    QStringList titles;
    for (const Row& row : rows)
        if (const QString title = menuTitle(row); !title.isEmpty())
            titles.append(title);
    return titles;
}

std::optional<Row> smartHostForTitle(const Rows& rows, const QString& title)
{
    for (const Row& row : rows) {
        const bool byLocation = row.contains(locationKey) && row.value(locationKey).toString() == title;
        const bool byHost = row.contains(hostKey) && row.value(hostKey).toString() == title;
        if (byLocation || byHost)
            return row;
    }
    return std::nullopt;
}

RelayHostChoice relayHostChoice(const Row& row)
{
    return RelayHostChoice{
        row.value(hostKey).toString(),
        row.value(QStringLiteral("uID")).toString(),
        row.value(QStringLiteral("pword")).toString(),
        row.value(QStringLiteral("authenticate")).toInt(),
        row.value(QStringLiteral("requireSSL")).toInt(),
    };
}

QString smartHostsFileText(const Rows& rows)
{
    KeyedArchiver archiver;
    archiver.encodeData(archiveKey, archiveRows(rows));
    return hexadecimalRepresentation(archiver.finishEncoding());
}

Rows smartHostsFromFileText(const QString& text)
{
    const auto archive = KeyedUnarchiver::open(dataWithHexadecimalRepresentation(text));
    if (!archive)
        return {};
    const auto blob = archive->decodeData(archiveKey);
    if (!blob)
        return {};
    return unarchiveRows(*blob).value_or(Rows{});
}

QStringList writeSmartHostsArguments(const Rows& rows)
{
    // The list holds relay passwords: written into a new file that is
    // private from its first byte (an old file keeps its mode when
    // truncated), then moved over the old one.
    const QString path = QLatin1String(smartHostsPath);
    return shellCommand(QStringLiteral("rm -f %1.new; (umask 077; echo '%2' > %1.new) && mv -f %1.new %1")
                            .arg(path, smartHostsFileText(rows)));
}

QStringList readSmartHostsArguments()
{
    return shellCommand(QStringLiteral("cat ") + QLatin1String(smartHostsPath));
}

} // namespace brevane
