// The Status tab: the health checks, with what only a logged-in window can probe.
#include "certificates/CertificateCheck.h"
#include "postfix/ServiceHealth.h"
#include "postfix/ServiceRules.h"
#include "shell/StatusLight.h"
#include "shell/TextHelpers.h"
#include "shell/WindowController.h"
#include "status/StatusTab.h"
#include "ui_MainWindow.h"

#include <QSysInfo>

#include <algorithm>

using namespace brevane;

namespace {

const QString tabLabel = QStringLiteral("Status");

// The POP and IMAP services whose lights the Mail Server form last showed on:
// those the administrator offers, so those the outside should reach.
QList<status::PortToProbe> offeredMailServices(const QList<StatusLight*>& lights)
{
    QList<status::PortToProbe> offered;
    for (int i = 0; i < services::uwServices().size() && i < lights.size(); ++i)
        if (lights.at(i)->imageName() == QLatin1String("green"))
            offered.append({ services::uwServices().at(i).name, services::uwServices().at(i).port });
    return offered;
}

// Postfix's name for this machine: the mail domain, which the configuration
// makes its myhostname, or the machine's own; a bare name is no public one.
QString publicHostName(const QString& mydomain)
{
    const QString name = mydomain.trimmed().isEmpty() ? QSysInfo::machineHostName() : mydomain.trimmed();
    return name.contains(u'.') ? name : QString();
}

} // namespace

void WindowController::setUpStatusTab()
{
    m_status = new StatusTab;
    // Right after the Mail Queue item and whatever tab items follow it.
    const QList<QAction*> items = m_ui->toolbar->actions();
    qsizetype last = items.indexOf(m_ui->mailQueueItem);
    while (last + 1 < items.size() && items.at(last + 1)->isCheckable())
        ++last;
    addTabBuiltInCode(m_status, tabLabel, QStringLiteral("statusItem"), tr("Health checks of this mail server"),
                      items.value(last));
    connect(m_status, &StatusTab::checkNowRequested, this, &WindowController::checkStatus);
}

void WindowController::checkStatus()
{
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
    }
    inputs.outside.ports = status::portsToProbe(m_ui->portNosField->text(),
        offeredMailServices({ m_ui->pop3_light, m_ui->pop3s_light, m_ui->imap_light, m_ui->imaps_light }));
    inputs.outside.target = publicHostName(m_ui->mydomainField->text());
    m_status->runChecks(inputs);
}
