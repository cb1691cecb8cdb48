#include "status/OutsideSettingsBox.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>

using namespace brevane;

namespace {

const QString vantageKey = QStringLiteral("status/vantage");
const QString addressKey = QStringLiteral("status/publicAddress");
const QString recipientKey = QStringLiteral("status/relayRecipient");
const QString zonesKey = QStringLiteral("status/blockLists");

QLineEdit* field(const char* name, const QString& text, const QString& placeholder)
{
    auto* edit = new QLineEdit(text);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(placeholder);
    return edit;
}

} // namespace

OutsideSettingsBox::OutsideSettingsBox(QWidget* parent)
    : QGroupBox(tr("Checks from outside"), parent)
{
    setObjectName(QStringLiteral("outsideSettingsBox"));
    const QSettings settings;
    m_vantage = field("vantageField", settings.value(vantageKey).toString(), tr("ssh you@other-host.example"));
    m_address = field("publicAddressField", settings.value(addressKey).toString(), tr("this machine's host name"));
    m_recipient = field("relayRecipientField", settings.value(recipientKey).toString(),
        status::OutsideInputs {}.relayRecipient);
    m_zones = new QPlainTextEdit(
        settings.value(zonesKey, status::defaultBlockZones().join(u'\n')).toString());
    m_zones->setObjectName(QStringLiteral("blockListsField"));
    m_zones->setMaximumHeight(72);
    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("outsideSettingsMessage"));
    m_message->setWordWrap(true);

    auto* form = new QFormLayout(this);
    form->addRow(tr("Vantage point:"), m_vantage);
    form->addRow(tr("Public address:"), m_address);
    form->addRow(tr("Relay test to:"), m_recipient);
    form->addRow(tr("Block lists:"), m_zones);
    form->addRow(m_message);
    for (QLineEdit* edit : { m_vantage, m_address, m_recipient })
        connect(edit, &QLineEdit::textChanged, this, &OutsideSettingsBox::store);
    connect(m_zones, &QPlainTextEdit::textChanged, this, &OutsideSettingsBox::store);
    m_message->setText(problems());
}

void OutsideSettingsBox::store()
{
    QSettings settings;
    settings.setValue(vantageKey, m_vantage->text());
    settings.setValue(addressKey, m_address->text());
    settings.setValue(recipientKey, m_recipient->text());
    settings.setValue(zonesKey, m_zones->toPlainText());
    m_message->setText(problems());
}

QString OutsideSettingsBox::problems() const
{
    QStringList said;
    const QString vantage = status::readVantage(m_vantage->text()).error;
    if (!vantage.isEmpty())
        said.append(vantage);
    const QString address = m_address->text().trimmed();
    if (!address.isEmpty() && !status::isHostOrAddress(address))
        said.append(tr("\u201c%1\u201d is not a host name or address.").arg(address));
    const QString recipient = m_recipient->text().trimmed();
    if (!recipient.isEmpty() && !status::isPlainMailAddress(recipient))
        said.append(tr("\u201c%1\u201d is not a plain mail address; the default is used.").arg(recipient));
    QStringList bad;
    status::readZones(m_zones->toPlainText(), &bad);
    if (!bad.isEmpty())
        said.append(tr("Not block list names, left out: %1.").arg(bad.join(QLatin1String(", "))));
    return said.join(u'\n');
}

status::OutsideInputs OutsideSettingsBox::inputs(status::OutsideInputs given) const
{
    given.vantage = m_vantage->text();
    const QString address = m_address->text().trimmed();
    if (!address.isEmpty()) {
        given.target = address;
        given.publicAddresses = { address };
    }
    const QString recipient = m_recipient->text().trimmed();
    if (status::isPlainMailAddress(recipient))
        given.relayRecipient = recipient;
    given.blockZones = status::readZones(m_zones->toPlainText());
    return given;
}
