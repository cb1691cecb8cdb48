// Service control and status lights.
#include "postfix/ServiceHealth.h"
#include "postfix/ServiceRules.h"
#include "shell/Alerts.h"
#include "shell/StatusLight.h"
#include "shell/TextHelpers.h"
#include "shell/ToolbarRules.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

#include <algorithm>

using namespace brevane;

namespace {

const QString green = QStringLiteral("green");
const QString red = QStringLiteral("red");

} // namespace

void WindowController::connectServiceActions()
{
    connect(m_ui->enableSSL, &QCheckBox::clicked, this, [this] { enableSSL(m_ui->enableSSL); });
    connect(m_ui->enableSASLClient, &QCheckBox::clicked, this, [this] { enableSSL(m_ui->enableSASLClient); });
    connect(m_ui->postfixItem, &QAction::triggered, this, [this] { Postfix(m_ui->postfixItem); });
    for (QAction* item : {m_ui->pop3Item, m_ui->pop3sItem, m_ui->imapItem, m_ui->imapsItem})
        connect(item, &QAction::triggered, this, [this, item] { UW(item); });
    // The Alt-click variants again, for window managers that take Alt+click.
    connect(m_ui->stopPostfixAction, &QAction::triggered, this, [this] { Postfix(m_ui->stopPostfixAction); });
    connect(m_ui->restoreLastWorkingAction, &QAction::triggered, this, &WindowController::restoreLastWorkingConfiguration);
}

void WindowController::Postfix(QAction* sender)
{
    setFocus();
    const QString label = sender->text();
    startProgress(toolbar::busyText(label));
    m_ui->smtp_light->setImageNamed(QStringLiteral("yellow"));
    const QString postfix = QStringLiteral("postfix");
    // A refused value or custom line leaves the forms as the user left them,
    // for the alert names what to mend: reading the files back would undo it.
    bool refused = false;
    if (label == QLatin1String("Start Postfix")) {
        doSanityCheck();
        const auto arguments = collectPostfixArguments();
        refused = !arguments || !applyPostfixConfig(*arguments, false);
    } else if (label == QLatin1String("Stop Postfix")) {
        runShell(services::unloadJob(postfix));
        if (!runShell(services::fetchmailProbe()).isEmpty())
            runShell(services::unloadJob(QStringLiteral("fetchmail")));
    } else if (label == QLatin1String("Restart Postfix")) {
        // A refused value leaves the running Postfix alone rather than down;
        // the check stops it for the new files.
        const auto arguments = collectPostfixArguments();
        refused = !arguments || !applyPostfixConfig(*arguments, true);
    }
    if (!refused) {
        signingFollowsPostfix(label);
        filteringFollowsPostfix(label);
    }
    if (!refused)
        loadPostfixSettings();
    checkStatusLights();
    stopProgress();
}

void WindowController::UW(QAction* sender)
{
    const services::UWCommand command = services::parseUWLabel(sender->text());
    if (command.verb == QLatin1String("Start") && services::needsCertificate(command.service)
        && m_ui->ssl_light->imageName() == red) {
        if (QAction* item = m_toolbarItemsDict.value(QStringLiteral("Mail Server")))
            selectTabViewItem(item);
        Alerts::beginSheet(this, {QStringLiteral("SSL Mode requires an SSL cert to be installed."),
                                  QStringLiteral("Either create a test cert or install a live cert from a "
                                                 "Certification Authority."),
                                  QStringLiteral("OK")});
        return;
    }
    if (const auto line = services::uwCommandLine(command))
        runShell(*line);
    checkStatusLights();
}

void WindowController::checkStatusLights()
{
    const QStringList& paths = services::certificatePaths();
    const bool certificates = std::all_of(paths.cbegin(), paths.cend(), checkIfUnixPathExists) && certificateIsUsable();
    m_ui->ssl_light->setImageNamed(certificates ? green : red);
    m_ui->ssl_light_info->setText(certificates ? QStringLiteral("SSL cert is available")
                                               : QStringLiteral("SSL cert not available"));
    if (!certificates)
        m_ui->enableSSL->setChecked(false);
    m_ui->enableSSL->setEnabled(certificates);
    enableSSL(m_ui->enableSSL);
    enableSSL(m_ui->enableSASLClient);

    const QList<StatusLight*> lights{m_ui->pop3_light, m_ui->pop3s_light, m_ui->imap_light, m_ui->imaps_light};
    for (int i = 0; i < services::uwServices().size(); ++i) {
        const services::UWService& service = services::uwServices().at(i);
        const bool open = checkIfLightIsOn(lights.at(i), service.port);
        if (QAction* item = m_toolbarItemsDict.value(service.paletteLabel))
            item->setText((open ? QStringLiteral("Stop ") : QStringLiteral("Start ")) + service.name);
    }

    // The labels follow the job; the light also needs the service itself.
    const services::ServiceHealth postfix
        = services::postfixHealth(runShell(services::postfixHealthProbe()), checkIfOpenPort(25));
    const bool postfixRunning = postfix.loaded;
    if (QAction* item = m_toolbarItemsDict.value(QStringLiteral("Postfix"))) {
        item->setText(postfixRunning ? QStringLiteral("Restart Postfix") : QStringLiteral("Start Postfix"));
        // A blank rather than an empty tip: an empty one shows the label instead.
        item->setToolTip(postfixRunning ? QStringLiteral("Option-click to Stop Postfix") : QStringLiteral(" "));
    }
    m_ui->stopPostfixAction->setEnabled(postfixRunning);
    m_ui->fetchmailButton->setEnabled(postfixRunning);
    m_ui->flushPostfixQueueButton->setEnabled(postfixRunning);
    showHealth(m_ui->smtp_light, postfix, QStringLiteral("Postfix"));

    const services::ServiceHealth fetchmail = services::fetchmailHealth(runShell(services::fetchmailHealthProbe()));
    const bool fetchmailRunning = fetchmail.loaded;
    m_ui->fetchmailButton->setText(fetchmailRunning ? QStringLiteral("Restart Fetchmail")
                                                    : QStringLiteral("Start Fetchmail"));
    m_ui->stopFetchmailAction->setEnabled(fetchmailRunning);
    showHealth(m_ui->fetchmail_light, fetchmail, QStringLiteral("fetchmail"));
    checkFilteringLight();
}

void WindowController::showHealth(StatusLight* light, const services::ServiceHealth& health, const QString& service)
{
    light->setImageNamed(health.loaded && health.up ? green : red);
    light->setToolTip(health.loaded && !health.up ? services::downToolTip(service, health.why) : QString());
}

bool WindowController::checkIfLightIsOn(StatusLight* light, int portNo)
{
    const bool open = checkIfOpenPort(portNo);
    light->setImageNamed(open ? green : red);
    return open;
}

bool WindowController::checkIfOpenPort(int portNo)
{
    return services::isPortOpen(portNo);
}

void WindowController::enableSSL(QObject* sender)
{
    if (sender == m_ui->enableSSL) {
        if (!m_ui->enableSSL->isChecked())
            m_ui->requireSSL->setChecked(false);
        m_ui->requireSSL->setEnabled(m_ui->enableSSL->isChecked());
    } else if (sender == m_ui->enableSASLClient && !m_ui->enableSASLClient->isChecked()) {
        m_ui->smartHostUserID->setText(QString());
        m_ui->smartHostPassword->setText(QString());
    }
}
