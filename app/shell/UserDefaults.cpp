#include "shell/UserDefaults.h"

#include <QSettings>

namespace brevane {

const QMap<QString, QString>& initialUserDefaults()
{
    static const QMap<QString, QString> table{
        {QStringLiteral("SSL_Country"), QStringLiteral("SG")},
        {QStringLiteral("SSL_State"), QStringLiteral("State")},
        {QStringLiteral("SSL_Locality"), QStringLiteral("SG")},
        {QStringLiteral("SSL_Organisation"), QStringLiteral("Widgets Inc")},
        {QStringLiteral("SSL_OrgUnit"), QStringLiteral("IT")},
        {QStringLiteral("SSL_EMail"), QStringLiteral("postmaster@example.com")},
        {QStringLiteral("savePath"), QStringLiteral("~")},
        {QStringLiteral("pollingInterval"), QStringLiteral("60")},
        {QStringLiteral("timeOutInterval"), QStringLiteral("45")},
        {QStringLiteral("lastTabUsed"), QStringLiteral("Outgoing")},
    };
    return table;
}

QString UserDefaults::value(const QString& key)
{
    return QSettings().value(key, initialUserDefaults().value(key)).toString();
}

void UserDefaults::setValue(const QString& key, const QString& value)
{
    QSettings settings;
    settings.setValue(key, value);
    settings.sync();
}

} // namespace brevane
