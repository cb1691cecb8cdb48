// Relay hosts (smart hosts) and test certificates.
#include "postfix/Certificates.h"
#include "postfix/SmartHosts.h"
#include "shell/Alerts.h"
#include "shell/Controls.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

#include <QMenu>

using namespace brevane;

void WindowController::connectSmartHostActions()
{
    m_smartHostMenu = new QMenu(m_ui->smartHostPopup);
    m_smartHostMenu->addAction(tr("Choose a relay host:"))->setEnabled(false);
    m_smartHostMenu->addSeparator();
    m_ui->smartHostPopup->setMenu(m_smartHostMenu);
    connect(m_smartHostMenu, &QMenu::aboutToShow, this, [this] { menuNeedsUpdate(m_smartHostMenu); });
    connect(m_ui->addSmartHostButton, &QPushButton::clicked, this, [this] {
        // Empty, so it reaches the menu only once the user names a host.
        smartHostController.addObject({{QStringLiteral("authenticate"), 0}, {QStringLiteral("requireSSL"), 0}});
    });
    connect(m_ui->removeSmartHostButton, &QPushButton::clicked, this, [this] {
        const QList<int> rows = smartHostController.selectionIndexes();
        for (auto it = rows.crbegin(); it != rows.crend(); ++it)
            smartHostController.removeObjectAtArrangedIndex(*it);
    });
    connect(m_ui->createSSLCertsButton, &QPushButton::clicked, this, &WindowController::createSSLCerts);
}

void WindowController::menuNeedsUpdate(QMenu* menu)
{
    const QList<QAction*> items = menu->actions();
    for (int i = 2; i < items.size(); ++i) {
        menu->removeAction(items.at(i));
        items.at(i)->deleteLater();
    }
    for (const QString& title : smartHostMenuTitles(smartHostController.arrangedObjects())) {
        // "&" would mark a shortcut; the title itself stays in the data.
        QAction* item = menu->addAction(QString(title).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setData(title);
        item->setCheckable(false);
        connect(item, &QAction::triggered, this, [this, item] { chooseSmartHost(item); });
    }
}

void WindowController::chooseSmartHost(QAction* sender)
{
    const QString title = sender->data().isValid() ? sender->data().toString() : sender->text();
    const auto row = smartHostForTitle(smartHostController.arrangedObjects(), title);
    if (!row)
        return;
    const RelayHostChoice choice = relayHostChoice(*row);
    m_ui->relayhostField->setText(choice.relayhost);
    m_ui->smartHostUserID->setText(choice.userID);
    m_ui->smartHostPassword->setText(choice.password);
    controls::setState(m_ui->enableSASLClient, choice.authenticate);
    controls::setState(m_ui->requireSSLClient, choice.requireSSL);
}

void WindowController::createSSLCerts()
{
    Alerts::beginSheet(this,
                       {QStringLiteral("CREATING SSL CERTS FOR TESTING."),
                        QStringLiteral("This will create three certs - smtpd.pem, ipop3d.pem, imapd.pem - in "
                                       "/System/Library/OpenSSL/certs. Create them?"),
                        QStringLiteral("Create"), QStringLiteral("No"), QString(), true},
                       [this](int returnCode) { createSSLCertsSheetDidEnd(returnCode); });
}

void WindowController::createSSLCertsSheetDidEnd(int returnCode)
{
    if (returnCode != returncode::defaultButton)
        return;
    const QString output = run(createCertsArguments(
        {m_ui->countryField->text(), m_ui->provinceField->text(), m_ui->localityField->text(),
         m_ui->organisationField->text(), m_ui->organisationalunitField->text(), m_ui->mydomainField->text(),
         m_ui->youremailaddressField->text()}));
    checkStatusLights();
    // Certificates made before stay and keep the light green: say so.
    if (!certificatesInstalled(output))
        Alerts::beginSheet(this, {QStringLiteral("The test certificate was not created."),
                                  QStringLiteral("openssl refused the values (the country takes two letters). "
                                                 "Certificates made before are kept."),
                                  QStringLiteral("OK")});
}
