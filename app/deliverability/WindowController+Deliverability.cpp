// The Deliverability tab: DKIM signing and the DNS checks.
#include "deliverability/DeliverabilityTab.h"
#include "deliverability/DkimSigning.h"
#include "postfix/ServiceRules.h"
#include "shell/Alerts.h"
#include "shell/ResourcePaths.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"


using namespace brevane;

namespace {

const QString tabLabel = QStringLiteral("Deliverability");
const QString signingJob = QStringLiteral("opendkim");

} // namespace

void WindowController::setUpDeliverabilityTab()
{
    m_deliverability = new DeliverabilityTab;
    m_deliverability->setSelector(QString::fromLatin1(dkim::defaultSelector));
    // Beside the other tabs' items, before the services.
    addTabBuiltInCode(m_deliverability, tabLabel, QStringLiteral("deliverabilityItem"),
                      tr("DKIM signing and the DNS records other mail servers check"), m_ui->mailQueueItem);

    connect(m_deliverability, &DeliverabilityTab::applyDkimRequested, this, &WindowController::applyDkim);
    // The mail domain may have changed, and the keys are only known after a login.
    connect(m_deliverability, &DeliverabilityTab::checkDnsRequested, this, [this] {
        showDkimKeys();
        m_deliverability->checkDns();
    });
    connect(m_ui->tabView, &QStackedWidget::currentChanged, this, [this] {
        if (m_ui->tabView->currentWidget() == m_deliverability && m_loggedIn)
            showDkimKeys();
    });
}

QStringList WindowController::dkimDomains() const
{
    return dkim::signingDomains(m_ui->mydomainField->text(), m_ui->virtualDomainsField->text());
}

void WindowController::showDkimKeys()
{
    m_deliverability->setDomains(dkimDomains());
    const QString selector = m_deliverability->selector();
    if (!dkim::isValidSelector(selector) || dkimDomains().isEmpty())
        return;
    const QString output = run(dkim::scriptArguments(dkim::Mode::Show, selector, dkimDomains(),
                                                     scriptText(QStringLiteral("configure-dkim.sh"))));
    m_deliverability->showKeys(dkim::publicKeys(output, selector));
}

void WindowController::applyDkim()
{
    const QString selector = m_deliverability->selector();
    const QStringList domains = dkimDomains();
    m_deliverability->setDomains(domains);
    QString error;
    if (!dkim::isValidSelector(selector))
        error = tr("The selector \u201c%1\u201d is not a DNS label: use letters, digits and hyphens (not at either "
                   "end), at most 63.")
                    .arg(selector);
    else if (domains.isEmpty() && m_deliverability->dkimSigning())
        error = tr("There is no mail domain to sign for: set the mail domain on the Outgoing tab.");
    if (!error.isEmpty()) {
        Alerts::beep();
        Alerts::beginSheet(this, {tr("DKIM signing was not changed."), error, tr("OK")});
        return;
    }
    startProgress(tr("Setting up DKIM signing\u2026"));
    const dkim::Mode mode = m_deliverability->dkimSigning() ? dkim::Mode::Sign : dkim::Mode::Off;
    const QString output = run(dkim::scriptArguments(mode, selector, domains,
                                                     scriptText(QStringLiteral("configure-dkim.sh"))));
    const QString refused = dkim::refusal(output);
    if (!refused.isEmpty()) {
        stopProgress();
        Alerts::beep();
        Alerts::beginSheet(this, {tr("DKIM signing was not changed."), tr("The configuration refused it: %1.").arg(refused),
                                  tr("OK")});
        return;
    }
    m_deliverability->showKeys(dkim::publicKeys(output, selector));
    // Postfix hands mail to the signer only once its main.cf says so.
    if (postfixConfig() && !runShell(services::postfixProbe()).isEmpty())
        runShell(QStringLiteral("/usr/sbin/postfix reload"));
    stopProgress();
}

void WindowController::signingFollowsPostfix(const QString& label)
{
    if (!m_deliverability->dkimSigning())
        return;
    runShell(services::unloadJob(signingJob));
    if (label != QLatin1String("Stop Postfix"))
        runShell(services::loadJob(signingJob));
}
