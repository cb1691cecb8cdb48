#include "status/OutsideSettings.h"

#include <QSettings>

namespace brevane::status {

namespace {

    const QString vantageKey = QStringLiteral("status/vantage");
    const QString addressKey = QStringLiteral("status/publicAddress");
    const QString recipientKey = QStringLiteral("status/relayRecipient");
    const QString zonesKey = QStringLiteral("status/blockLists");

} // namespace

OutsideSettings storedOutsideSettings()
{
    const QSettings stored;
    return { stored.value(vantageKey).toString(), stored.value(addressKey).toString(),
        stored.value(recipientKey).toString(), stored.value(zonesKey, defaultBlockZones().join(u'\n')).toString() };
}

void storeOutsideSettings(const OutsideSettings& settings)
{
    QSettings stored;
    stored.setValue(vantageKey, settings.vantage);
    stored.setValue(addressKey, settings.publicAddress);
    stored.setValue(recipientKey, settings.relayRecipient);
    stored.setValue(zonesKey, settings.blockLists);
}

OutsideInputs applySettings(OutsideInputs given, const OutsideSettings& settings)
{
    given.vantage = settings.vantage;
    const QString address = settings.publicAddress.trimmed();
    if (!address.isEmpty()) {
        given.target = address;
        given.publicAddresses = { address };
    }
    const QString recipient = settings.relayRecipient.trimmed();
    if (isPlainMailAddress(recipient))
        given.relayRecipient = recipient;
    given.blockZones = readZones(settings.blockLists);
    return given;
}

QStringList settingsProblems(const OutsideSettings& settings)
{
    QStringList said;
    const QString vantage = readVantage(settings.vantage).error;
    if (!vantage.isEmpty())
        said.append(vantage);
    const QString address = settings.publicAddress.trimmed();
    if (!address.isEmpty() && !isHostOrAddress(address))
        said.append(QStringLiteral("\u201c%1\u201d is not a host name or address.").arg(address));
    const QString recipient = settings.relayRecipient.trimmed();
    if (!recipient.isEmpty() && !isPlainMailAddress(recipient))
        said.append(
            QStringLiteral("\u201c%1\u201d is not a plain mail address; the built-in one is used.").arg(recipient));
    QStringList bad;
    readZones(settings.blockLists, &bad);
    if (!bad.isEmpty())
        said.append(QStringLiteral("Not block list names, left out: %1.").arg(bad.join(QLatin1String(", "))));
    return said;
}

} // namespace brevane::status
