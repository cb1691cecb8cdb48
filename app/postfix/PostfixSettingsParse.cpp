#include "postfix/PostfixSettingsParse.h"

#include "postfix/PostfixConfigValues.h"

#include <QStringList>

namespace brevane {

namespace {

const QString destinationPrefix = QStringLiteral("localhost,localhost.$myhostname,$myhostname,");
constexpr qsizetype bareHostnameLength = 12;  // "$myhostname,"

const QString accessMap = QStringLiteral("hash:/usr/local/tarnwick/postfix/etc/access ");

} // namespace

PostfixSettingsTable parseSettingsTable(const QString& block)
{
    PostfixSettingsTable table;
    const QStringList lines = block.split(u'\n');
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QStringList pieces = lines.at(i).split(u'=');
        if (pieces.first().isEmpty())
            continue;
        table.insert(pieces.first(), pieces.size() > 1 ? pieces.at(1) : QString());
    }
    return table;
}

QString destinationsFromValue(const QString& value)
{
    if (value.contains(destinationPrefix))
        return value.mid(destinationPrefix.size());
    return value.mid(bareHostnameLength);
}

QString rblSitesFromRestrictions(const QString& value)
{
    QString sites = value;
    sites.remove(QStringLiteral(",reject_rbl_client"), Qt::CaseInsensitive);
    sites.remove(QStringLiteral("check_client_access ") + accessMap, Qt::CaseInsensitive);
    sites.remove(accessMap, Qt::CaseInsensitive);
    return sites.split(u' ').join(QStringLiteral(", "));
}

QString portsFromServiceLines(const QString& lines)
{
    QStringList ports;
    for (const QString& line : lines.split(u'\n'))
        ports.append(line.section(u' ', 0, 0));
    return ports.join(QStringLiteral(", "));
}

std::optional<std::pair<QString, QString>> relayAccountFromSaslPasswd(const QString& text)
{
    const QStringList pieces = text.split(u' ');
    if (text.isEmpty() || pieces.size() < 2)
        return std::nullopt;
    const QStringList account = pieces.at(1).split(u':');
    return std::pair{account.at(0), account.size() > 1 ? account.at(1) : QString()};
}

VirtualMapFields parseVirtualMap(const QString& text)
{
    QStringList domains;
    QStringList lines;
    for (const QString& raw : text.split(u'\n')) {
        const QString line = trimmedText(raw);
        const QStringList pieces = line.split(u' ');
        if (pieces.size() == 2 && trimmedText(pieces.at(1)) == QLatin1String("anything"))
            domains.append(pieces.at(0));
        else
            lines.append(line);
    }
    return {domains.join(QStringLiteral(", ")), lines.join(u'\n')};
}

} // namespace brevane
