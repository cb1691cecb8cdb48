// Logs, links, update check, read-me panel and de-installation.
#include "maintenance/Deinstallation.h"
#include "maintenance/LogCommands.h"
#include "maintenance/MailLogPanel.h"
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
#include <QPushButton>

namespace {

// The mail-log command echoes six heading lines before the log itself.
constexpr int mailLogHeadingLines = 6;

} // namespace

using namespace brevane;

void WindowController::connectMaintenanceActions()
{
    auto* logPanel = new MailLogPanel(m_ui->logField, m_ui->mailLogPage);
    logPanel->setObjectName(QStringLiteral("mailLogPanel"));
    logPanel->setPrivilegedRun([this](const QStringList& arguments) { return run(arguments); });
    m_ui->mailLogLayout->insertWidget(1, logPanel);
    auto* dovecotButton = new QPushButton(tr("Dovecot Log"), m_ui->mailLogPage);
    dovecotButton->setObjectName(QStringLiteral("dovecotLogButton"));
    dovecotButton->setToolTip(tr("Show the IMAP and POP daemons' lines of the mail log."));
    m_ui->layout_49->insertWidget(2, dovecotButton);
    connect(dovecotButton, &QPushButton::clicked, this, [this, logPanel] {
        if (!logPanel->hasMailLog() && !logPanel->isLoading())
            showLog(m_ui->postLogButton);
        logPanel->showDovecotLines();
    });
    // The tab opens with the mail log in it.
    connect(m_ui->tabView, &QStackedWidget::currentChanged, this, [this, logPanel] {
        if (m_ui->tabView->currentWidget() == m_ui->mailLogPage && !logPanel->hasMailLog() && !logPanel->isLoading())
            showLog(m_ui->postLogButton);
    });
    for (QAbstractButton* button : {m_ui->postLogButton, m_ui->fetchmailLogButton})
        connect(button, &QAbstractButton::clicked, this, [this, button] { showLog(button); });
    for (QAbstractButton* button : {m_ui->refreshMailqButton, m_ui->deleteMailqButton, m_ui->flushPostfixQueueButton})
        connect(button, &QAbstractButton::clicked, this, [this, button] { manageMailq(button); });
    setUpQueueTab();
    for (QAction* link : {m_ui->downloadPageAction, m_ui->webSiteAction})
        connect(link, &QAction::triggered, this, [this, link] { loadURL(link); });
    // The log button's Alt-click, from the Services menu: the title selects the text.
    connect(m_ui->postfixConfigAction, &QAction::triggered, this, [this] {
        if (QAction* item = m_toolbarItemsDict.value(QStringLiteral("Mail Log")))
            selectTabViewItem(item);
        const QString title = m_ui->postLogButton->text();
        m_ui->postLogButton->setText(QStringLiteral("Postfix Config"));
        showLog(m_ui->postLogButton);
        m_ui->postLogButton->setText(title);
    });
    connect(m_ui->checkForUpdatesAction, &QAction::triggered, this, &WindowController::checkForUpdates);
    connect(m_ui->readMeAction, &QAction::triggered, this, &WindowController::showReadMePanel);
    connect(m_agreementUi->closeSheetButton, &QPushButton::clicked, this, &WindowController::closeSheet);
    connect(m_ui->deInstallAction, &QAction::triggered, this, &WindowController::deInstall);
}

void WindowController::showLog(QObject* sender)
{
    const auto* button = qobject_cast<QAbstractButton*>(sender);
    const QString title = button ? button->text() : QString();
    const auto command = logCommandFor(sender->property("tag").toInt(), title);
    if (!command)
        return;
    auto* logPanel = m_ui->mailLogPage->findChild<MailLogPanel*>(QStringLiteral("mailLogPanel"));
    // The mail log can be far too large to reverse whole: the panel reads it in
    // pieces under the command's own headings and shows the newest lines.
    if (*command == mailLogCommand())
        logPanel->showMailLog(shellCommandHeadings(*command, mailLogHeadingLines));
    else
        logPanel->showOtherText(doShellCommand(*command));
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
        updateAlertFor(unprivilegedRunner()(versionQueryCommand()), QCoreApplication::applicationVersion(), makerSite());
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
    run(deinstallAdditionsCommand());
    run(deinstallCommand());
    reloadData();
}
