// One session of an administrator at the booted machine, driving the real
// window offscreen: log in through the sheet (the setuid authority and
// shellTool installed in /opt/brevane), then one phase, then print the
// lights as "name=colour" lines for the scenario to judge.
//
//   host_session services   start Postfix, make the test certificate, start IMAP and POP3s
//   host_session fetchmail  one account (remote1 over POP3s into alice), start fetchmail
//   host_session filtering  spam and virus filtering on in its tab, then Restart Postfix
//   host_session lights     only look
//   host_session deinstall  "De-Install" on the warning sheet
//
// The password comes in HOST_ADMIN_PASSWORD, the mail domain in HOST_DOMAIN.

#include "filtering/FilteringTab.h"
#include "shell/Alerts.h"
#include "shell/StatusLight.h"
#include "shell/WindowController.h"
#include "ui_LoginPanel.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QSettings>
#include <QTest>
#include <cstdio>

namespace {

QString setting(const char* name)
{
    return qEnvironmentVariable(name);
}

bool logIn(WindowController& window)
{
    if (!WindowController::initialize())
        return false;
    window.loginUi()->savePasswordInKeychain->setChecked(false);
    window.applicationDidFinishLaunching();
    if (!window.loginPanel()->isVisible())
        return true;
    window.loginUi()->passwordField->setText(setting("HOST_ADMIN_PASSWORD"));
    QTest::mouseClick(window.loginUi()->loginButton, Qt::LeftButton);
    if (window.loginPanel()->isVisible()) {
        std::printf("login refused: %s\n", qPrintable(window.loginUi()->passwordInfoField->text()));
        return false;
    }
    return true;
}

void startServices(WindowController& window)
{
    Ui::MainWindow* ui = window.ui();
    ui->mydomainField->setText(setting("HOST_DOMAIN"));
    if (ui->postfixItem->text() == QLatin1String("Start Postfix"))
        window.Postfix(ui->postfixItem);
    ui->countryField->setText(QStringLiteral("DE"));
    ui->provinceField->setText(QStringLiteral("Hessen"));
    ui->localityField->setText(QStringLiteral("Darmstadt"));
    ui->organisationField->setText(QStringLiteral("Brevane Host Test"));
    ui->organisationalunitField->setText(QStringLiteral("Mail"));
    ui->youremailaddressField->setText(QStringLiteral("postmaster@") + setting("HOST_DOMAIN"));
    Alerts::setNextAnswer(brevane::returncode::defaultButton); // "Create"
    window.createSSLCerts();
    for (QAction* item : { ui->imapItem, ui->pop3sItem })
        if (item->text().startsWith(QLatin1String("Start")))
            window.UW(item);
}

void startFetchmail(WindowController& window)
{
    auto& accounts = window.fetchmailController;
    window.addFetchmailRecord();
    const int row = accounts.rowCount() - 1;
    const auto edit = [&](const char* key, const QString& text) {
        const int column = accounts.columnKeys().indexOf(QString::fromLatin1(key));
        accounts.setData(accounts.index(row, column), text);
    };
    edit("server", setting("HOST_DOMAIN"));
    edit("there", QStringLiteral("remote1"));
    edit("password", setting("HOST_REMOTE_PASSWORD"));
    edit("here", QStringLiteral("alice"));
    edit("ssl", QStringLiteral("YES"));
    window.fetchmail();
}

// As the tab's Apply, with greylisting off: the scenario's first message
// from a stranger must be judged at once, not deferred.
void startFiltering(WindowController& window)
{
    auto* tab = window.findChild<FilteringTab*>();
    if (!tab)
        return;
    tab->setSettings({ true, QStringLiteral("6"), QStringLiteral("15"), false, true });
    window.applyFiltering();
    window.Postfix(window.ui()->postfixItem);
}

void printLights(WindowController& window)
{
    Ui::MainWindow* ui = window.ui();
    const std::pair<const char*, const StatusLight*> lights[] = { { "smtp", ui->smtp_light },
        { "imap", ui->imap_light }, { "imaps", ui->imaps_light }, { "pop3", ui->pop3_light },
        { "pop3s", ui->pop3s_light }, { "fetchmail", ui->fetchmail_light }, { "ssl", ui->ssl_light },
        { "filtering", window.findChild<StatusLight*>(QStringLiteral("filtering_light")) } };
    for (const auto& [name, light] : lights)
        std::printf("%s=%s\n", name, light ? qPrintable(light->imageName()) : "missing");
    std::printf("postfixItem=%s\nfetchmailButton=%s\n", qPrintable(ui->postfixItem->text()),
        qPrintable(ui->fetchmailButton->text()));
    for (const AlertSpec& alert : Alerts::shown())
        std::printf("alert=%s\n", qPrintable(alert.title));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QCoreApplication::setApplicationName(QStringLiteral("brevane"));
    const QString phase = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    WindowController window;
    window.show();
    if (!logIn(window))
        return 1;
    if (phase == QLatin1String("services"))
        startServices(window);
    else if (phase == QLatin1String("fetchmail"))
        startFetchmail(window);
    else if (phase == QLatin1String("filtering"))
        startFiltering(window);
    else if (phase == QLatin1String("deinstall")) {
        Alerts::setNextAnswer(brevane::returncode::alternateButton); // "De-Install"
        window.deInstall();
    } else if (phase != QLatin1String("lights"))
        return 2;
    printLights(window);
    return 0;
}
