// Start-up, login and shutdown.
#include "privileged/Keychain.h"
#include "postfix/SmartHosts.h"
#include "privileged/TaskWrapper.h"
#include "shell/Alerts.h"
#include "shell/CommandBatch.h"
#include "shell/ResourcePaths.h"
#include "shell/StartupRules.h"
#include "shell/TextHelpers.h"
#include "shell/UserDefaults.h"
#include "shell/WindowController.h"
#include "ui_LoginPanel.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QDialog>
#include <pwd.h>
#include <unistd.h>

using namespace brevane;

namespace {

/// The GECOS full name of the current user, as NSFullUserName gives it.
QString fullUserName()
{
    const passwd* entry = ::getpwuid(::getuid());
    if (!entry)
        return {};
    const QString gecos = QString::fromLocal8Bit(entry->pw_gecos ? entry->pw_gecos : "");
    const QString name = gecos.section(QLatin1Char(','), 0, 0);
    return name.isEmpty() ? QString::fromLocal8Bit(entry->pw_name) : name;
}

} // namespace

bool WindowController::initialize()
{
    if (startup::isSupportedSystemVersion(startup::operatingSystemVersionString()))
        return true;
    Alerts::beep();
    Alerts::runModal({QStringLiteral("This version of Brevane will only run on Mac OS X Leopard"),
                      QStringLiteral("Sorry. The application will now quit."), QStringLiteral("Quit")});
    return false;
}

void WindowController::awakeFromNib()
{
    for (const char* value : {"YES", "NO"})
        yesnoController.addObject({{QStringLiteral("value"), QString::fromLatin1(value)}});
    for (const char* value : {"POP3", "IMAP", "AUTO", "POP2", "APOP", "SDPS", "KPOP"})
        protocolController.addObject({{QStringLiteral("value"), QString::fromLatin1(value)}});
    m_openDataFileFromFinder = false;
}

void WindowController::applicationDidFinishLaunching()
{
    m_toolbarItemsDict.clear();
    for (QAction* item : m_ui->toolbar->actions()) {
        const QString label = item->property("paletteLabel").toString();
        if (!label.isEmpty())
            m_toolbarItemsDict.insert(label, item);
    }
    m_launched = true;
    if (QAction* item = m_toolbarItemsDict.value(UserDefaults::value(QStringLiteral("lastTabUsed"))))
        selectTabViewItem(item);

    restoreLoginChoices();
    if (m_loginUi->administratorField->text().isEmpty())
        m_loginUi->administratorField->setText(fullUserName());
    m_loginUi->passwordField->setText(QString());
    if (m_loginUi->savePasswordInKeychain->isChecked())
        m_loginUi->passwordField->setText(Keychain::getPasswordForUser(m_loginUi->administratorField->text()));
    if (!m_loginUi->passwordField->text().isEmpty() && shouldAccessBeGranted() == 0) {
        doStartUpChecks();
        return;
    }
    showLoginSheet();
}

// The keychain is asked under the administrator's name, so the name and the
// box's state are kept for the next launch's automatic log-in.
void WindowController::restoreLoginChoices()
{
    const QString administrator = UserDefaults::value(QString::fromLatin1(startup::administratorKey));
    if (!administrator.isEmpty())
        m_loginUi->administratorField->setText(administrator);
    if (const QString box = UserDefaults::value(QString::fromLatin1(startup::rememberPasswordKey)); !box.isEmpty())
        m_loginUi->savePasswordInKeychain->setChecked(box == QLatin1String("1"));
}

void WindowController::rememberLoginChoices()
{
    UserDefaults::setValue(QString::fromLatin1(startup::administratorKey), m_loginUi->administratorField->text());
    UserDefaults::setValue(QString::fromLatin1(startup::rememberPasswordKey),
                           m_loginUi->savePasswordInKeychain->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void WindowController::showLoginSheet()
{
    m_loginUi->passwordField->selectAll();
    m_loginUi->passwordField->setFocus();
    m_loginPanel->open();
}

int WindowController::shouldAccessBeGranted()
{
    m_unixTask->setAdminPassword(m_loginUi->passwordField->text(), m_loginUi->administratorField->text());
    return m_unixTask->checkIfSudoer() ? 0 : 1;
}

void WindowController::doLogin()
{
    setFocus();
    if (shouldAccessBeGranted() != 0) {
        Alerts::beep();
        m_loginUi->passwordInfoField->setText(
            QStringLiteral("Access failed : Cannot authenticate the Administrator."));
        m_loginUi->passwordField->selectAll();
        m_loginUi->passwordField->setFocus();
        return;
    }
    m_loginPanel->accept();
    const QString administrator = m_loginUi->administratorField->text();
    rememberLoginChoices();
    if (m_loginUi->savePasswordInKeychain->isChecked())
        Keychain::storePassword(m_loginUi->passwordField->text(), administrator);
    else
        Keychain::deletePasswordForUser(administrator);
    doStartUpChecks();
}

void WindowController::doStartUpChecks()
{
    m_loggedIn = true;
    doSanityCheck();
    // The daemons' tests and the user listing read only: one run for all.
    const QList<startup::SystemDaemon>& daemons = startup::systemDaemons();
    const QStringList outputs
        = runShellLines([this](const QStringList& arguments) { return run(arguments); }, startup::startUpReadLines());
    for (int i = 0; i < daemons.size(); ++i) {
        if (!outputs.at(i).isEmpty())
            runShell(daemons.at(i).unload);
    }
    for (const QString& user : startup::parseLocalUsers(outputs.last()))
        m_ui->luser_relay_popup->addItem(user);
    if (!m_openDataFileFromFinder)
        reloadData();
}

void WindowController::doSanityCheck()
{
    if (checkIfUnixPathExists(QString::fromLatin1(startup::serverRoot)))
        return;
    run({QStringLiteral("/bin/sh"), QStringLiteral("-c"), scriptText(QStringLiteral("install-server.sh")), QString(),
         QString::fromLatin1(workingFolderName)});
}

void WindowController::applicationWillTerminate()
{
    if (QWidget* page = m_ui->tabView->currentWidget())
        UserDefaults::setValue(QStringLiteral("lastTabUsed"), page->property("identifier").toString());
    // Before a log-in the list was never read: writing it would empty the file.
    if (m_loggedIn)
        run(writeSmartHostsArguments(smartHostController.arrangedObjects()));
}
