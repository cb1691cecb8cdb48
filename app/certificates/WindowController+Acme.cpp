// Certificates from an ACME CA: the panel's glue, and the probe behind the SSL light.
#include "certificates/AcmePanel.h"
#include "certificates/AcmeSettings.h"
#include "certificates/CertificateCheck.h"
#include "certificates/WebRoot.h"
#include "postfix/ServiceRules.h"
#include "shell/Alerts.h"
#include "shell/StatusLight.h"
#include "shell/TextHelpers.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

using namespace brevane;

void WindowController::connectAcmeActions()
{
    m_acmeDialog = new QDialog(this);
    m_acmeDialog->setObjectName(QStringLiteral("acmeDialog"));
    m_acmeDialog->setWindowTitle(tr("Certificate from a CA"));
    m_acmeDialog->setWindowModality(Qt::WindowModal);
    m_acmePanel = new AcmePanel(m_acmeDialog);
    m_acmePanel->setObjectName(QStringLiteral("acmePanel"));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, m_acmeDialog);
    auto* layout = new QVBoxLayout(m_acmeDialog);
    layout->addWidget(m_acmePanel);
    layout->addWidget(close);
    m_acmeDialog->resize(560, m_acmeDialog->sizeHint().height());
    connect(close, &QDialogButtonBox::rejected, m_acmeDialog, &QDialog::reject);

    // Beside the test certificate's button; the panel itself can live anywhere.
    auto* open = new QPushButton(tr("Certificate from a CA…"), m_ui->sslGroup);
    open->setObjectName(QStringLiteral("acmeButton"));
    open->setToolTip(tr("Get a certificate that mail clients trust from Let's Encrypt or another ACME CA."));
    m_ui->layout_33->addWidget(open);
    connect(open, &QPushButton::clicked, this, &WindowController::showAcmePanel);

    connect(m_acmePanel, &AcmePanel::obtainRequested, this, &WindowController::obtainAcmeCertificate);
    connect(m_acmePanel, &AcmePanel::edited, this, [this] { noteFormsEdited(); });
    connect(m_acmePanel, &AcmePanel::switchedOff, this, [this] {
        runShell(acme::stopRenewalCommand());
        checkStatusLights();
    });
    m_acmePanel->showInstalled(QString(), QString());
}

void WindowController::showAcmePanel()
{
    m_acmePanel->setMailDomain(m_ui->mydomainField->text());
    m_acmeDialog->open();
}

void WindowController::obtainAcmeCertificate()
{
    const acme::AcmeSettings settings = m_acmePanel->settings();
    const QString mailDomain = m_ui->mydomainField->text();
    std::optional<QString> problem = acme::settingsProblem(settings, mailDomain);
    if (const QString webroot = trimSpacesAndTabs(settings.webroot); !problem && settings.method == acme::Method::Webroot)
        problem = acme::webrootProblem(webroot, acme::webrootFacts(webroot));
    if (problem) {
        Alerts::beep();
        Alerts::beginSheet(m_acmeDialog, {QStringLiteral("The certificate was not requested."), *problem});
        return;
    }
    if (!m_acmeSettingsConfirmed) {
        Alerts::beginSheet(m_acmeDialog,
                           {tr("Request a certificate with the settings of a document?"),
                            acme::confirmationText(settings, mailDomain), tr("Cancel"), tr("Request Certificate")},
                           [this](int answer) {
                               if (answer != returncode::alternateButton)
                                   return;
                               m_acmeSettingsConfirmed = true;
                               obtainAcmeCertificate();
                           });
        return;
    }
    startProgress(tr("Asking the CA…"));
    const QString output = run(acme::obtainArguments(settings, mailDomain));
    stopProgress();
    checkStatusLights();
    if (!acme::certificateObtained(output))
        Alerts::beginSheet(m_acmeDialog, {QStringLiteral("The CA gave no certificate."), acme::failureText(output)});
}

bool WindowController::certificateIsUsable()
{
    const QList<certificates::CertificateFacts> found = certificates::parseProbe(runShell(certificates::probeCommand()));
    const acme::AcmeSettings settings = m_acmePanel->settings();
    const QString hostName = certificates::expectedHostName(settings.enabled ? settings.hostName : QString(),
                                                            m_ui->mydomainField->text(), QSysInfo::machineHostName());
    const certificates::Verdict verdict = certificates::judge(found, services::certificatePaths().size(), hostName,
                                                              QDateTime::currentDateTimeUtc());
    m_acmePanel->showInstalled(certificates::summary(found), verdict.reason);
    m_ui->ssl_light->setToolTip(verdict.reason);
    return verdict.usable;
}
