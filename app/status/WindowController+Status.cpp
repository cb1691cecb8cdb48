// The Status tab: the health checks, with what only a logged-in window can probe.
#include "certificates/CertificateCheck.h"
#include "deliverability/DeliverabilityTab.h"
#include "postfix/ServiceHealth.h"
#include "postfix/ServiceRules.h"
#include "privileged/TaskWrapper.h"
#include "shell/Alerts.h"
#include "shell/StatusLight.h"
#include "shell/TextHelpers.h"
#include "shell/WindowController.h"
#include "status/MailServices.h"
#include "status/StatusTab.h"
#include "status/WatchJob.h"
#include "status/job/JobSettings.h"
#include "status/job/StateFile.h"
#include "ui_MainWindow.h"

#include <QFileInfo>
#include <QSysInfo>
#include <QTimer>
#include <algorithm>

using namespace brevane;

namespace {

const QString tabLabel = QStringLiteral("Status");
constexpr int watchFirstRunMs = 20000;

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
    QAction* item = addTabBuiltInCode(
        m_status, tabLabel, QStringLiteral("statusItem"), tr("Health checks of this mail server"), items.value(last));
    connect(m_status, &StatusTab::checkNowRequested, this, &WindowController::checkStatus);
    connect(m_status, &StatusTab::watchToggled, this, &WindowController::setWatchJob);
    connect(m_status, &StatusTab::settingsChanged, this, &WindowController::sendWatchSettings);
    m_status->setWatching(QFileInfo::exists(QLatin1String(status::watchJobPlist)));
    showWatchJobResult();
    // A click on a notice of a failing check.
    connect(m_status, &StatusTab::showRequested, this, [this, item] {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
        selectTabViewItem(item);
    });
}

void WindowController::showWatchJobResult()
{
    const QString path = QLatin1String(status::watchStatePath);
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return;
    const auto bytes = status::job::readStateFile(path);
    m_status->showWatchResult(bytes
            ? status::readJobState(*bytes)
            : status::StateRead { std::nullopt, tr("The watch job's state file %1 cannot be read.").arg(path) });
}

void WindowController::setWatchJob(bool on)
{
    // Installing copies a program into a root-owned folder and loads a job.
    if (!m_loggedIn) {
        m_status->setWatching(!on);
        Alerts::beginSheet(
            this, { tr("Log in first."), tr("Only an administrator may install or remove the watch job."), tr("OK") });
        return;
    }
    const QByteArray settings = watchSettings();
    const QString output = run(status::watchJobArguments(on, settings));
    if (!status::watchJobChanged(output, on)) {
        m_status->setWatching(!on);
        Alerts::beginSheet(this,
            { on ? tr("The watch job could not be installed.") : tr("The watch job could not be removed."),
                output.trimmed(), tr("OK") });
        return;
    }
    m_watchSettingsSent = on ? settings : QByteArray();
    // The job's first run starts as it is loaded and takes a few seconds.
    if (on)
        QTimer::singleShot(watchFirstRunMs, this, &WindowController::showWatchJobResult);
}

QByteArray WindowController::watchSettings() const
{
    return status::job::writeJobSettings(status::job::jobSettingsOf(m_status->withSettings(statusInputs())));
}

void WindowController::sendWatchSettings()
{
    if (!m_loggedIn || !m_status->isWatching() || m_unixTask->isRunning())
        return;
    const QByteArray settings = watchSettings();
    if (settings == m_watchSettingsSent)
        return;
    const QString output = run(status::watchSettingsArguments(settings));
    if (!status::watchSettingsTaken(output)) {
        Alerts::beginSheet(this, { tr("The watch job did not take the new settings."), output.trimmed(), tr("OK") });
        return;
    }
    m_watchSettingsSent = settings;
}

status::StatusInputs WindowController::statusInputs() const
{
    status::StatusInputs inputs;
    inputs.outside.ports = status::portsToProbe(m_ui->portNosField->text(),
        offeredMailServices({ m_ui->pop3_light, m_ui->pop3s_light, m_ui->imap_light, m_ui->imaps_light }));
    inputs.outside.target = publicHostName(m_ui->mydomainField->text());
    const QStringList domains = dkimDomains();
    inputs.dns = { domains, m_deliverability->selector(), {}, m_deliverability->publicAddress(), {}, {} };
    for (const QString& domain : domains)
        inputs.dns.publicKeys.insert(domain, m_deliverability->publicKey(domain));
    return inputs;
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
    status::StatusInputs inputs = statusInputs();
    // The job listing and the certificates are root's to read.
    if (m_loggedIn) {
        const status::ServiceProbes probes { runShell(services::postfixHealthProbe()),
            runShell(services::fetchmailHealthProbe()), runShell(QStringLiteral("/bin/launchctl list")) };
        inputs.services = status::mailServiceFacts(probes, [this](int port) { return checkIfOpenPort(port); });
        const QStringList& paths = services::certificatePaths();
        inputs.certificates = std::any_of(paths.cbegin(), paths.cend(), checkIfUnixPathExists)
            ? certificates::parseProbe(runShell(certificates::probeCommand()))
            : QList<certificates::CertificateFacts> {};
        // The keys are root's to read too.
        showDkimKeys();
    }
    m_status->runChecks(inputs);
    // Domains and ports are set on other tabs: the job hears of them here.
    sendWatchSettings();
}
