// The Filtering tab: rspamd and ClamAV behind Postfix, and their light.
#include "deliverability/DkimSigning.h"
#include "filtering/FilteringHealth.h"
#include "filtering/FilteringTab.h"
#include "filtering/Learning.h"
#include "filtering/RspamdConfig.h"
#include "postfix/ServiceRules.h"
#include "privileged/TaskWrapper.h"
#include "shell/Alerts.h"
#include "shell/ResourcePaths.h"
#include "shell/StatusLight.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace brevane;

namespace {

const QString tabLabel = QStringLiteral("Filtering");

// Started in this order and stopped in the reverse: rspamd needs redis and
// clamd; Dovecot's LMTP fills the mailboxes while filtering is on.
QStringList filteringJobs(bool virusScanning)
{
    QStringList jobs { QStringLiteral("redis"), QStringLiteral("rspamd"), QStringLiteral("lmtp") };
    if (virusScanning)
        jobs.insert(1, QStringLiteral("clamd"));
    return jobs;
}

} // namespace

void WindowController::setUpFilteringTab()
{
    m_filtering = new FilteringTab;
    addTabBuiltInCode(m_filtering, tabLabel, QStringLiteral("filteringItem"),
                      tr("Spam and virus filtering with rspamd and ClamAV"),
                      findChild<QAction*>(QStringLiteral("deliverabilityItem")));

    // Beside the other services' lights.
    auto* grid = m_ui->servicesLayout;
    const int row = grid->rowCount();
    m_filteringLight = new StatusLight;
    m_filteringLight->setObjectName(QStringLiteral("filtering_light"));
    m_filteringLight->setFixedSize(18, 18);
    m_filteringLight->setImageNamed(QStringLiteral("red"));
    grid->addWidget(m_filteringLight, row, 0);
    grid->addWidget(new QLabel(tabLabel), row, 1);

    // Learning from the queue view, after its own buttons; only while rspamd is installed.
    for (const bool spam : { true, false }) {
        auto* learn = new QPushButton(spam ? tr("Learn as Spam") : tr("Learn as Not Spam"));
        learn->setObjectName(spam ? QStringLiteral("learnSpamButton") : QStringLiteral("learnHamButton"));
        learn->setToolTip(tr("Teach rspamd's statistics the selected messages."));
        learn->setEnabled(false);
        m_ui->layout_51->addWidget(learn);
        connect(learn, &QPushButton::clicked, this, [this, spam] { learnMailqMessages(spam); });
    }

    connect(m_filtering, &FilteringTab::applyRequested, this, &WindowController::applyFiltering);
}

void WindowController::learnMailqMessages(bool spam)
{
    int learned = 0;
    QStringList failures;
    for (const QString& id : mailqController.selectedQueueIDs()) {
        const auto arguments = filtering::learnArguments(id, spam);
        if (!arguments)
            continue;
        const filtering::LearnResult result = filtering::learnResult(run(*arguments));
        if (result.learned)
            ++learned;
        else
            failures << id + QStringLiteral(": ") + result.text;
    }
    if (failures.isEmpty() && learned == 0)
        return;
    const QString what = spam ? tr("spam") : tr("not spam");
    const QString title = learned == 1 ? tr("1 message learned as %1.").arg(what)
                                       : tr("%1 messages learned as %2.").arg(learned).arg(what);
    Alerts::beginSheet(this, { title, failures.join(u'\n'), tr("OK") });
}

void WindowController::applyFiltering()
{
    const filtering::FilteringSettings settings = m_filtering->settings();
    if (const auto problem = filtering::settingsProblem(settings)) {
        Alerts::beep();
        Alerts::beginSheet(this, { tr("Filtering was not changed."), *problem, tr("OK") });
        return;
    }
    startProgress(tr("Setting up spam and virus filtering\u2026"));
    const filtering::Mode mode = settings.spamFiltering ? filtering::Mode::On : filtering::Mode::Off;
    const QString output
        = run(filtering::scriptArguments(mode, settings, scriptText(QStringLiteral("configure-filtering.sh"))));
    const QString refused = dkim::refusal(output);
    if (!refused.isEmpty()) {
        stopProgress();
        Alerts::beep();
        Alerts::beginSheet(
            this, { tr("Filtering was not changed."), tr("The configuration refused it: %1.").arg(refused), tr("OK") });
        loadFilteringSettings();
        return;
    }
    loadFilteringSettings();
    // Postfix hands mail to rspamd only once its main.cf names the milter.
    if (postfixConfig() && !runShell(services::postfixProbe()).isEmpty())
        runShell(QStringLiteral("/usr/sbin/postfix reload"));
    stopProgress();
    checkFilteringLight();
    lookAtFilteringLater();
}

void WindowController::lookAtFilteringLater()
{
    // rspamd takes seconds to load its rules, a minute and more the first time.
    // A timer may fire while a privileged run waits: the helper would refuse
    // the LMTP probe, and the light would read red.
    for (int seconds : { 5, 30, 90 })
        QTimer::singleShot(seconds * 1000, this, [this] {
            if (!m_unixTask->isRunning())
                checkFilteringLight();
        });
}

void WindowController::loadFilteringSettings()
{
    const filtering::FilteringSettings installed = filtering::installedSettings(run(
        filtering::scriptArguments(filtering::Mode::Show, {}, scriptText(QStringLiteral("configure-filtering.sh")))));
    m_filteringInstalled = installed.spamFiltering;
    m_virusScanningInstalled = installed.spamFiltering && installed.virusScanning;
    m_filtering->setSettings(installed);
    for (const char* name : { "learnSpamButton", "learnHamButton" })
        if (auto* learn = findChild<QPushButton*>(QLatin1String(name)))
            learn->setEnabled(m_filteringInstalled);
}

void WindowController::checkFilteringLight()
{
    const bool milterUp = m_filteringInstalled && filtering::milterAnswersAt(QLatin1String(filtering::milterSocketPath));
    const bool clamdUp = m_virusScanningInstalled && filtering::clamdAnswersPing(filtering::clamdPort);
    // Only Postfix and root may open Dovecot's socket: asked through the helper.
    const bool lmtpUp = milterUp && filtering::isLmtpGreeting(runShell(filtering::lmtpGreetingProbe()));
    const filtering::LightState light
        = filtering::filteringLight(m_filteringInstalled, m_virusScanningInstalled, milterUp, clamdUp, lmtpUp);
    m_filteringLight->setImageNamed(light.green ? QStringLiteral("green") : QStringLiteral("red"));
    m_filteringLight->setToolTip(light.text);
    const QString database = m_virusScanningInstalled
        ? filtering::databaseWarning(filtering::databaseFiles(QString::fromLatin1(filtering::clamavDatabaseFolder)),
            QDateTime::currentDateTime())
        : QString();
    m_filtering->showState(light.text, database);
}

void WindowController::filteringFollowsPostfix(const QString& label)
{
    if (!m_filteringInstalled)
        return;
    QStringList jobs = filteringJobs(m_virusScanningInstalled);
    for (auto job = jobs.crbegin(); job != jobs.crend(); ++job)
        runShell(services::unloadJob(*job));
    if (label == QLatin1String("Stop Postfix"))
        return;
    for (const QString& job : jobs)
        runShell(services::loadJob(job));
    lookAtFilteringLater();
}
