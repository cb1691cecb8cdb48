#include "certificates/AcmePanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace brevane {

AcmePanel::AcmePanel(QWidget* parent)
    : QWidget(parent)
    , m_enabled(new QCheckBox(tr("Use a certificate from an ACME CA (Let's Encrypt and others)"), this))
    , m_hostName(new QLineEdit(this))
    , m_email(new QLineEdit(this))
    , m_directory(new QLineEdit(this))
    , m_method(new QComboBox(this))
    , m_webroot(new QLineEdit(this))
    , m_installed(new QLabel(this))
    , m_obtain(new QPushButton(tr("Get Certificate"), this))
{
    m_enabled->setObjectName(QStringLiteral("acmeEnabled"));
    m_hostName->setObjectName(QStringLiteral("acmeHostNameField"));
    m_email->setObjectName(QStringLiteral("acmeEmailField"));
    m_directory->setObjectName(QStringLiteral("acmeDirectoryField"));
    m_method->setObjectName(QStringLiteral("acmeMethod"));
    m_webroot->setObjectName(QStringLiteral("acmeWebrootField"));
    m_installed->setObjectName(QStringLiteral("acmeInstalledInfo"));
    m_obtain->setObjectName(QStringLiteral("acmeObtainButton"));

    m_method->addItems({tr("Standalone: certbot answers on port 80 itself"),
                        tr("Web root: a web server on port 80 serves this folder")});
    m_email->setPlaceholderText(tr("for the CA's expiry notices (optional)"));
    m_webroot->setPlaceholderText(QStringLiteral("/var/www/html"));
    m_obtain->setToolTip(tr("Ask the CA for a certificate for the host name and install it for Postfix, IMAP "
                            "and POP3. certbot renews it twice a day when due."));
    m_installed->setWordWrap(true);
    // Names come from whatever certificate is installed: never markup.
    m_installed->setTextFormat(Qt::PlainText);
    m_installed->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* intro = new QLabel(tr("The CA checks that this machine answers for the host name on port 80, then "
                                "issues a certificate that mail clients trust. The test certificate stays "
                                "available for trying things out."),
                             this);
    intro->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(tr("Host name:"), m_hostName);
    form->addRow(tr("E-mail address:"), m_email);
    form->addRow(tr("CA directory URL:"), m_directory);
    form->addRow(tr("Method:"), m_method);
    form->addRow(tr("Web root:"), m_webroot);
    form->addRow(tr("Installed:"), m_installed);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_obtain);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_enabled);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addLayout(buttons);

    setSettings({});
    connect(m_obtain, &QPushButton::clicked, this, &AcmePanel::obtainRequested);
    connect(m_enabled, &QCheckBox::clicked, this, [this](bool on) {
        if (!on)
            emit switchedOff();
    });
    connect(m_enabled, &QCheckBox::toggled, this, &AcmePanel::updateEnabling);
    connect(m_method, &QComboBox::currentIndexChanged, this, &AcmePanel::updateEnabling);
    connect(m_enabled, &QCheckBox::toggled, this, &AcmePanel::edited);
    connect(m_method, &QComboBox::currentIndexChanged, this, &AcmePanel::edited);
    for (QLineEdit* field : {m_hostName, m_email, m_directory, m_webroot})
        connect(field, &QLineEdit::textChanged, this, &AcmePanel::edited);
}

acme::AcmeSettings AcmePanel::settings() const
{
    return {m_enabled->isChecked(),
            m_directory->text(),
            m_hostName->text(),
            m_email->text(),
            m_method->currentIndex() == 1 ? acme::Method::Webroot : acme::Method::Standalone,
            m_webroot->text()};
}

void AcmePanel::setSettings(const acme::AcmeSettings& settings)
{
    m_enabled->setChecked(settings.enabled);
    m_directory->setText(settings.directoryUrl);
    m_hostName->setText(settings.hostName);
    m_email->setText(settings.email);
    m_method->setCurrentIndex(settings.method == acme::Method::Webroot ? 1 : 0);
    m_webroot->setText(settings.webroot);
    updateEnabling();
}

void AcmePanel::showInstalled(const QString& summary, const QString& reason)
{
    if (summary.isEmpty())
        m_installed->setText(tr("no certificate"));
    else if (reason.isEmpty())
        m_installed->setText(summary);
    else
        m_installed->setText(summary + QStringLiteral(" \u2014 ") + reason);
}

void AcmePanel::setMailDomain(const QString& mailDomain)
{
    m_hostName->setPlaceholderText(mailDomain.isEmpty() ? tr("mail.example.com") : mailDomain);
}

void AcmePanel::updateEnabling()
{
    const bool on = m_enabled->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{m_hostName, m_email, m_directory, m_method, m_obtain})
        control->setEnabled(on);
    m_webroot->setEnabled(on && m_method->currentIndex() == 1);
}

} // namespace brevane
