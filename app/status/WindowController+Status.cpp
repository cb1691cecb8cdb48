// The Status tab: the health checks, with what only a logged-in window can probe.
#include "certificates/CertificateCheck.h"
#include "deliverability/DeliverabilityTab.h"
#include "postfix/ServiceHealth.h"
#include "postfix/ServiceRules.h"
#include "privileged/TaskWrapper.h"
#include "shell/TextHelpers.h"
#include "shell/WindowController.h"
#include "status/StatusTab.h"
#include "ui_MainWindow.h"

#include <QTimer>

#include <algorithm>

using namespace brevane;

namespace {

const QString tabLabel = QStringLiteral("Status");

} // namespace

void WindowController::setUpStatusTab()
{
    m_status = new StatusTab;
    // Right after the Mail Queue item and whatever tab items follow it.
    const QList<QAction*> items = m_ui->toolbar->actions();
    qsizetype last = items.indexOf(m_ui->mailQueueItem);
    while (last + 1 < items.size() && items.at(last + 1)->isCheckable())
        ++last;
    QAction* item = addTabBuiltInCode(m_status, tabLabel, QStringLiteral("statusItem"),
                                      tr("Health checks of this mail server"), items.value(last));
    connect(m_status, &StatusTab::checkNowRequested, this, &WindowController::checkStatus);
    // A click on a notice of a failing check.
    connect(m_status, &StatusTab::showRequested, this, [this, item] {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
        selectTabViewItem(item);
    });
}

void WindowController::checkStatus()
{
    // The timer may fire while a privileged run waits for its output: the
    // helper would refuse the probes, and empty answers read as services down.
    if (m_status->isChecking())
        return;
    if (m_unixTask->isRunning()) {
        QTimer::singleShot(std::chrono::seconds(10), this, &WindowController::checkStatus);
        return;
    }
    status::StatusInputs inputs;
    // The job listing and the certificates are root's to read.
    if (m_loggedIn) {
        inputs.services = QList<status::ServiceFacts> {
            { QStringLiteral("Postfix"),
                services::postfixHealth(runShell(services::postfixHealthProbe()), checkIfOpenPort(25)), true,
                tr("the toolbar") },
            { QStringLiteral("fetchmail"), services::fetchmailHealth(runShell(services::fetchmailHealthProbe())), false,
                tr("the Fetchmail tab") }
        };
        const QStringList& paths = services::certificatePaths();
        inputs.certificates = std::any_of(paths.cbegin(), paths.cend(), checkIfUnixPathExists)
            ? certificates::parseProbe(runShell(certificates::probeCommand()))
            : QList<certificates::CertificateFacts> {};
        // The keys are root's to read too.
        showDkimKeys();
    }
    const QStringList domains = dkimDomains();
    inputs.dns = { domains, m_deliverability->selector(), {}, m_deliverability->publicAddress(), {}, {} };
    for (const QString& domain : domains)
        inputs.dns.publicKeys.insert(domain, m_deliverability->publicKey(domain));
    m_status->runChecks(inputs);
}
