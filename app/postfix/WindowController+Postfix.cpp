// Writing the Postfix configuration from the forms and reading it back.
#include "postfix/PostfixConfig.h"
#include "postfix/PostfixSettings.h"
#include "shell/Alerts.h"
#include "shell/Controls.h"
#include "shell/ResourcePaths.h"
#include "shell/WindowController.h"
#include "ui_LoginPanel.h"
#include "ui_MainWindow.h"

using namespace brevane;

std::optional<QStringList> WindowController::collectPostfixArguments()
{
    PostfixForm form;
    form.administrator = m_loginUi->administratorField->text();
    form.mydomain = m_ui->mydomainField->text();
    form.myorigin = m_ui->myoriginField->text();
    form.relayhost = m_ui->relayhostField->text();
    form.messagesize = m_ui->messagesizeField->text();
    form.mailboxsize = m_ui->mailboxsizeField->text();
    form.mydestination = m_ui->mydestinationField->text();
    form.rblSites = m_ui->rblSitesField->text();
    form.luserRelayTitle = controls::titleOfSelectedItem(m_ui->luser_relay_popup);
    form.enableSASLClient = m_ui->enableSASLClient->isChecked();
    form.requireSSLClient = m_ui->requireSSLClient->isChecked();
    form.smartHostUserID = m_ui->smartHostUserID->text();
    form.smartHostPassword = m_ui->smartHostPassword->text();
    form.saslAuthMethodRow = controls::selectedRow(m_ui->saslAuthMethod);
    form.sasldbPasswd = controls::plainText(m_ui->sasldb_passwdField);
    form.mynetworksStyleRow = controls::selectedRow(m_ui->mynetworks_style);
    form.enableSSL = m_ui->enableSSL->isChecked();
    form.requireSSL = m_ui->requireSSL->isChecked();
    form.custom = controls::plainText(m_ui->customField);
    form.portNos = m_ui->portNosField->text();
    form.access = controls::plainText(m_ui->accessField);
    form.aliases = controls::plainText(m_ui->aliasesField);
    form.virtualText = controls::plainText(m_ui->virtualField);
    form.virtualDomains = m_ui->virtualDomainsField->text();
    form.dkimSigning = deliverabilityForm().dkimSigning;
    form.filtering = m_filteringInstalled;

    const PostfixConfigResult result = collectPostfixConfig(form, scriptText(QStringLiteral("configure-postfix.sh")));
    if (!result.error.isEmpty()) {
        Alerts::beep();
        Alerts::beginSheet(this, {QStringLiteral("The Postfix configuration was not written."), result.error,
                                  QStringLiteral("OK")});
        if (auto* field = findChild<QWidget*>(result.refusedOutlet))
            field->setFocus();
        return std::nullopt;
    }
    m_ui->smartHostUserID->setText(result.form.smartHostUserID);
    m_ui->smartHostPassword->setText(result.form.smartHostPassword);
    m_ui->enableSASLClient->setChecked(result.form.enableSASLClient);
    m_ui->requireSSLClient->setChecked(result.form.requireSSLClient);
    m_ui->messagesizeField->setText(result.form.messagesize);
    m_ui->mailboxsizeField->setText(result.form.mailboxsize);
    return result.arguments;
}

bool WindowController::postfixConfig()
{
    const auto arguments = collectPostfixArguments();
    if (!arguments)
        return false;
    const QString refused = refusedCustomLine(run(*arguments));
    if (refused.isEmpty())
        return true;
    Alerts::beep();
    Alerts::beginSheet(this, {QStringLiteral("The Postfix configuration was not written."), customLineRefusal(refused),
                              QStringLiteral("OK")});
    m_ui->customField->setFocus();
    return false;
}

void WindowController::loadPostfixSettings()
{
    const PostfixSettings settings
        = brevane::loadPostfixSettings([this](const QStringList& arguments) { return run(arguments); });
    m_ui->mydomainField->setText(settings.mydomain);
    m_ui->myoriginField->setText(settings.myorigin);
    m_ui->relayhostField->setText(settings.relayhost);
    m_ui->messagesizeField->setText(settings.messagesize);
    m_ui->mailboxsizeField->setText(settings.mailboxsize);
    m_ui->mydestinationField->setText(settings.mydestination);
    m_ui->rblSitesField->setText(settings.rblSites);
    if (settings.luserRelay.isEmpty() || !controls::selectItemWithTitle(m_ui->luser_relay_popup, settings.luserRelay))
        m_ui->luser_relay_popup->setCurrentIndex(0);
    m_ui->enableSASLClient->setChecked(settings.enableSASLClient);
    m_ui->requireSSLClient->setChecked(settings.requireSSLClient);
    controls::selectCellAtRow(m_ui->saslAuthMethod, settings.saslAuthMethodRow);
    controls::selectCellAtRow(m_ui->mynetworks_style, settings.mynetworksStyleRow);
    m_ui->enableSSL->setChecked(settings.enableSSL);
    m_ui->requireSSL->setChecked(settings.requireSSL);
    m_ui->customField->setPlainText(settings.custom);
    m_ui->portNosField->setText(settings.portNos);
    if (settings.smartHostUserID)
        m_ui->smartHostUserID->setText(*settings.smartHostUserID);
    if (settings.smartHostPassword)
        m_ui->smartHostPassword->setText(*settings.smartHostPassword);
    m_ui->sasldb_passwdField->setPlainText(settings.sasldbPasswd);
    m_ui->accessField->setPlainText(settings.access);
    m_ui->aliasesField->setPlainText(settings.aliases);
    m_ui->virtualDomainsField->setText(settings.virtualDomains);
    m_ui->virtualField->setPlainText(settings.virtualText);
    DeliverabilityForm deliverability = deliverabilityForm();
    deliverability.dkimSigning = settings.dkimSigning;
    setDeliverabilityForm(deliverability);
}
