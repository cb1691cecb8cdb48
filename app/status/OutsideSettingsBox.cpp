#include "status/OutsideSettingsBox.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace brevane;

namespace {

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
    const status::OutsideSettings stored = status::storedOutsideSettings();
    m_vantage = field("vantageField", stored.vantage, tr("ssh you@other-host.example"));
    m_address = field("outsideAddressField", stored.publicAddress, tr("this machine's host name"));
    m_recipient = field("relayRecipientField", stored.relayRecipient, status::OutsideInputs {}.relayRecipient);
    m_zones = new QPlainTextEdit(stored.blockLists);
    m_zones->setObjectName(QStringLiteral("blockListsField"));
    m_zones->setMaximumHeight(72);
    m_message = new QLabel(status::settingsProblems(stored).join(u'\n'));
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
}

status::OutsideSettings OutsideSettingsBox::settings() const
{
    return { m_vantage->text(), m_address->text(), m_recipient->text(), m_zones->toPlainText() };
}

void OutsideSettingsBox::store()
{
    status::storeOutsideSettings(settings());
    emit changed();
    m_message->setText(status::settingsProblems(settings()).join(u'\n'));
}
