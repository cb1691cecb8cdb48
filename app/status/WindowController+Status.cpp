// The Status tab: the health checks, with what only a logged-in window can probe.
#include "certificates/CertificateCheck.h"
#include "postfix/ServiceHealth.h"
#include "postfix/ServiceRules.h"
#include "shell/Alerts.h"
#include "shell/TextHelpers.h"
#include "shell/WindowController.h"
#include "status/MailServices.h"
#include "status/StatusTab.h"
#include "status/WatchJob.h"
#include "status/job/StateFile.h"
#include "ui_MainWindow.h"

#include <QFileInfo>
#include <QTimer>
#include <algorithm>

using namespace brevane;

namespace {

const QString tabLabel = QStringLiteral("Status");
constexpr int watchFirstRunMs = 20000;

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
    connect(m_status, &StatusTab::watchToggled, this, &WindowController::setWatchJob);
    m_status->setWatching(QFileInfo::exists(QLatin1String(status::watchJobPlist)));
    showWatchJobResult();
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
    const QString output = run(status::watchJobArguments(on));
    if (!status::watchJobChanged(output, on)) {
        m_status->setWatching(!on);
        Alerts::beginSheet(this,
            { on ? tr("The watch job could not be installed.") : tr("The watch job could not be removed."),
                output.trimmed(), tr("OK") });
        return;
    }
    // The job's first run starts as it is loaded and takes a few seconds.
    if (on)
        QTimer::singleShot(watchFirstRunMs, this, &WindowController::showWatchJobResult);
}

void WindowController::checkStatus()
{
    status::StatusInputs inputs;
    // The job listing and the certificates are root's to read.
    if (m_loggedIn) {
        const status::ServiceProbes probes { runShell(services::postfixHealthProbe()),
            runShell(services::fetchmailHealthProbe()), runShell(QStringLiteral("/bin/launchctl list")) };
        inputs.services = status::mailServiceFacts(probes, [this](int port) { return checkIfOpenPort(port); });
        const QStringList& paths = services::certificatePaths();
        inputs.certificates = std::any_of(paths.cbegin(), paths.cend(), checkIfUnixPathExists)
            ? certificates::parseProbe(runShell(certificates::probeCommand()))
            : QList<certificates::CertificateFacts> {};
    }
    m_status->runChecks(inputs);
}
