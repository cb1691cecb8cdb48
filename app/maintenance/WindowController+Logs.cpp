// Logs, links, update check, read-me panel and de-installation.
#include "maintenance/Deinstallation.h"
#include "maintenance/LogCommands.h"
#include "maintenance/MailQueue.h"
#include "maintenance/MakerSite.h"
#include "maintenance/ShellCommand.h"
#include "maintenance/UpdateCheck.h"
#include "shell/Alerts.h"
#include "shell/WindowController.h"
#include "ui_AgreementPanel.h"
#include "ui_MainWindow.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QDialog>

using namespace brevane;

void WindowController::connectMaintenanceActions()
{
    for (QAbstractButton* button : {m_ui->postLogButton, m_ui->fetchmailLogButton})
        connect(button, &QAbstractButton::clicked, this, [this, button] { showLog(button); });
    for (QAbstractButton* button : {m_ui->refreshMailqButton, m_ui->deleteMailqButton, m_ui->flushPostfixQueueButton})
        connect(button, &QAbstractButton::clicked, this, [this, button] { manageMailq(button); });
    setUpQueueTab();
    for (QAction* link : {m_ui->downloadPageAction, m_ui->webSiteAction})
        connect(link, &QAction::triggered, this, [this, link] { loadURL(link); });
    connect(m_ui->checkForUpdatesAction, &QAction::triggered, this, &WindowController::checkForUpdates);
    connect(m_ui->readMeAction, &QAction::triggered, this, &WindowController::showReadMePanel);
    connect(m_agreementUi->closeSheetButton, &QPushButton::clicked, this, &WindowController::closeSheet);
    connect(m_ui->deInstallAction, &QAction::triggered, this, &WindowController::deInstall);
}

void WindowController::showLog(QObject* sender)
{
    const auto* button = qobject_cast<QAbstractButton*>(sender);
    const auto command = logCommandFor(sender->property("tag").toInt(), button ? button->text() : QString());
    if (command)
        m_ui->logField->setPlainText(doShellCommand(*command));
}

QString WindowController::doShellCommand(const QString& commandLine)
{
    return brevane::doShellCommand(commandLine);
}

void WindowController::loadURL(QObject* sender)
{
    const QUrl page = pageForTag(sender->property("tag").toInt());
    if (page.isValid())
        QDesktopServices::openUrl(page);
}

void WindowController::checkForUpdates()
{
    const UpdateAlert alert =
        updateAlertFor(run(versionQueryCommand()), QCoreApplication::applicationVersion(), makerSite());
    const int answer = Alerts::runModal(
        {alert.title, alert.message, alert.buttons.value(0), alert.buttons.value(1), alert.buttons.value(2)});
    if (alert.kind == UpdateAlert::Kind::UpdateAvailable && answer == returncode::defaultButton)
        QDesktopServices::openUrl(pageForTag(80));
}

void WindowController::showReadMePanel()
{
    m_agreementPanel->open();
}

void WindowController::closeSheet()
{
    for (QDialog* sheet : {m_agreementPanel, m_loginPanel}) {
        if (sheet->isVisible())
            sheet->hide();
    }
}

void WindowController::deInstall()
{
    const DeinstallWarning warning = deinstallWarning();
    Alerts::beginSheet(this, {warning.title, warning.message, warning.defaultButton, warning.alternateButton},
                       [this](int returnCode) { deInstallWarningSheetDidEnd(returnCode); });
}

void WindowController::deInstallWarningSheetDidEnd(int returnCode)
{
    if (returnCode != returncode::alternateButton)
        return;
    run(deinstallCommand());
    reloadData();
}
