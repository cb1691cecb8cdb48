// Settings documents: a snapshot of the forms, saved and opened.
#include "document/SettingsDocument.h"
#include "filtering/FilteringSettings.h"
#include "fetchmail/FetchmailAccounts.h"
#include "shell/Alerts.h"
#include "shell/Controls.h"
#include "shell/UserDefaults.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

using namespace brevane;

namespace {

QString expandedDirectory(const QString& path)
{
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

void showError(QWidget* window, const QString& message)
{
    Alerts::beginSheet(window, {QStringLiteral("Error"), message, QStringLiteral("OK")});
}

} // namespace

void WindowController::connectDocumentActions()
{
    watchFormsForEdits();
    connect(m_ui->saveAction, &QAction::triggered, this, &WindowController::saveDocument);
    connect(m_ui->saveAsAction, &QAction::triggered, this, &WindowController::saveDocument);
    connect(m_ui->openAction, &QAction::triggered, this, &WindowController::openDocument);
    auto* recent = new QMenu(tr("Open Recent"), m_ui->fileMenu);
    m_ui->fileMenu->insertMenu(m_ui->saveAction, recent);
    connect(recent, &QMenu::aboutToShow, this, [this, recent] {
        recent->clear();
        for (const QString& path : document::recentDocuments())
            recent->addAction(path, this, [this, path] { openFile(path); });
        recent->setEnabled(!recent->isEmpty());
    });
}

bool WindowController::saveDocument()
{
    return savePanelDidEnd(Alerts::savePath(this, expandedDirectory(UserDefaults::value(QStringLiteral("savePath"))),
                                     QString::fromLatin1(document::proposedName),
                                     QString::fromLatin1(document::fileType)));
}

bool WindowController::savePanelDidEnd(const QString& chosenPath)
{
    if (chosenPath.isEmpty())
        return false;
    const QString path = document::withFileType(chosenPath);
    // The panel asked about the name as typed; the file written is another.
    if (path != chosenPath && QFileInfo::exists(path)
        && Alerts::runModal({QStringLiteral("\u201c%1\u201d already exists. Do you want to replace it?")
                                 .arg(QFileInfo(path).fileName()),
                             QStringLiteral("Settings documents end in \u201c.%1\u201d, so \u201c%2\u201d is saved "
                                            "as \u201c%3\u201d.")
                                 .arg(QLatin1String(document::fileType), QFileInfo(chosenPath).fileName(),
                                      QFileInfo(path).fileName()),
                             QStringLiteral("Cancel"), QStringLiteral("Replace")})
               != returncode::alternateButton)
        return false;
    UserDefaults::setValue(QStringLiteral("savePath"), QFileInfo(path).absolutePath());
    const QString cannotWrite = QStringLiteral("Couldn't write to file. Be sure that you have the necessary privileges.");
    if (QFileInfo::exists(path)) {
        if (!document::isWritableFile(path)) {
            showError(this, QStringLiteral("Couldn't replace the file. Be sure that you have the necessary privileges."));
            return false;
        }
    } else if (!document::writeAtomically(path, {})) {
        showError(this, cannotWrite);
        return false;
    }
    const QVariantMap values = documentValues();
    if (!document::writeAtomically(path, document::encode(values))) {
        showError(this, cannotWrite);
        return false;
    }
    document::noteRecentDocument(path);
    markFormsClean(path);
    return true;
}

QVariantMap WindowController::documentValues() const
{
    QVariantMap values;
    const auto text = [&values](const char* key, const QString& value) { values.insert(QString::fromLatin1(key), value); };
    const auto number = [&values](const char* key, int value) { values.insert(QString::fromLatin1(key), value); };
    text("myoriginField", m_ui->myoriginField->text());
    text("messagesizeField", m_ui->messagesizeField->text());
    text("mailboxsizeField", m_ui->mailboxsizeField->text());
    text("relayhostField", m_ui->relayhostField->text());
    number("enableSASLClient", controls::state(m_ui->enableSASLClient));
    number("requireSSLClient", controls::state(m_ui->requireSSLClient));
    text("smartHostUserID", m_ui->smartHostUserID->text());
    text("smartHostPassword", m_ui->smartHostPassword->text());
    text("mydomainField", m_ui->mydomainField->text());
    text("mydestinationField", m_ui->mydestinationField->text());
    text("virtualDomainsField", m_ui->virtualDomainsField->text());
    text("accessField", controls::plainText(m_ui->accessField));
    text("aliasesField", controls::plainText(m_ui->aliasesField));
    text("customField", controls::plainText(m_ui->customField));
    if (m_ui->luser_relay_popup->currentIndex() >= 0)
        text("luser_relay_popup", controls::titleOfSelectedItem(m_ui->luser_relay_popup));
    text("rblSitesField", m_ui->rblSitesField->text());
    text("portNosField", m_ui->portNosField->text());
    text("virtualField", controls::plainText(m_ui->virtualField));
    number("saslAuthMethod", controls::selectedRow(m_ui->saslAuthMethod));
    text("sasldb_passwdField", controls::plainText(m_ui->sasldb_passwdField));
    number("enableSSL", controls::state(m_ui->enableSSL));
    number("requireSSL", controls::state(m_ui->requireSSL));
    number("mynetworks_style", controls::selectedRow(m_ui->mynetworks_style));
    text("countryField", m_ui->countryField->text());
    text("provinceField", m_ui->provinceField->text());
    text("localityField", m_ui->localityField->text());
    text("organisationField", m_ui->organisationField->text());
    text("organisationalunitField", m_ui->organisationalunitField->text());
    text("youremailaddressField", m_ui->youremailaddressField->text());
    text("pollingIntervalField", m_ui->pollingIntervalField->text());
    text("timeOutIntervalField", m_ui->timeOutIntervalField->text());
    values.insert(QStringLiteral("fetchmailController"),
                  QVariant::fromValue(fetchmailAccountRows(fetchmailController.arrangedObjects())));
    const DeliverabilityForm deliverability = deliverabilityForm();
    number("dkimSigning", deliverability.dkimSigning ? 1 : 0);
    text("dkimSelector", deliverability.selector);
    values.insert(QStringLiteral("smartHostController"), QVariant::fromValue(smartHostController.arrangedObjects()));
    acme::putDocumentValues(acmeForm(), values);
    filtering::putDocumentValues(filteringForm(), values);
    return values;
}

void WindowController::watchFormsForEdits()
{
    const auto edited = [this] { noteFormsEdited(); };
    QWidget* forms = m_ui->tabView;
    for (auto* field : forms->findChildren<QLineEdit*>())
        connect(field, &QLineEdit::textChanged, this, edited);
    for (auto* view : forms->findChildren<QPlainTextEdit*>())
        connect(view, &QPlainTextEdit::textChanged, this, edited);
    for (auto* button : forms->findChildren<QAbstractButton*>())
        connect(button, &QAbstractButton::toggled, this, edited);
    for (auto* popup : forms->findChildren<QComboBox*>())
        connect(popup, &QComboBox::currentIndexChanged, this, edited);
    for (RowTableModel* table : {&fetchmailController, &smartHostController}) {
        connect(table, &QAbstractItemModel::dataChanged, this, edited);
        connect(table, &QAbstractItemModel::rowsInserted, this, edited);
        connect(table, &QAbstractItemModel::rowsRemoved, this, edited);
        connect(table, &QAbstractItemModel::modelReset, this, edited);
    }
}

// The title names the document the forms came from or went to, and marks
// them once they differ from it (or from the server's settings last read).
void WindowController::markFormsClean(const QString& documentPath)
{
    m_documentPath = documentPath;
    m_cleanForms = document::encode(documentValues());
    setWindowFilePath(documentPath);
    setWindowTitle(document::windowTitle(documentPath));
    setWindowModified(false);
}

void WindowController::noteFormsEdited()
{
    if (!m_cleanForms.isEmpty())
        setWindowModified(document::encode(documentValues()) != m_cleanForms);
}

void WindowController::openDocument()
{
    openPanelDidEnd(Alerts::openPath(this, QString::fromLatin1(document::fileType)));
}

void WindowController::openPanelDidEnd(const QString& path)
{
    if (!path.isEmpty())
        openFile(path);
}

bool WindowController::applicationOpenFile(const QString& path)
{
    m_openDataFileFromFinder = true;
    return openFile(path);
}

bool WindowController::openFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Alerts::beep();
        Alerts::beginSheet(this, {QStringLiteral("The file %1 cannot be found.").arg(path),
                                  QStringLiteral("It may have been moved or deleted."), QStringLiteral("OK")});
        return false;
    }
    QString why;
    const auto values = document::decode(file.readAll(), &why);
    if (!values) {
        Alerts::beep();
        Alerts::beginSheet(this, {QStringLiteral("The file %1 cannot be opened.").arg(path),
                                  QStringLiteral("It is not a Brevane settings document, or it is damaged (%1).").arg(why),
                                  QStringLiteral("OK")});
        return false;
    }
    // Asked only once the document is known to be good, just before it replaces the forms.
    if (isWindowModified()
        && Alerts::runModal({QStringLiteral("Replace the changed settings?"),
                             QStringLiteral("The forms hold changes that are in no document. Opening \u201c%1\u201d "
                                            "replaces them.")
                                 .arg(QFileInfo(path).fileName()),
                             QStringLiteral("Open"), QStringLiteral("Cancel")})
            != returncode::defaultButton)
        return false;
    const auto text = [&values](const char* key) { return values->value(QString::fromLatin1(key)).toString(); };
    const auto number = [&values](const char* key) { return values->value(QString::fromLatin1(key)).toInt(); };
    m_ui->myoriginField->setText(text("myoriginField"));
    m_ui->messagesizeField->setText(text("messagesizeField"));
    m_ui->mailboxsizeField->setText(text("mailboxsizeField"));
    m_ui->relayhostField->setText(text("relayhostField"));
    controls::setState(m_ui->enableSASLClient, number("enableSASLClient"));
    controls::setState(m_ui->requireSSLClient, number("requireSSLClient"));
    m_ui->smartHostUserID->setText(text("smartHostUserID"));
    m_ui->smartHostPassword->setText(text("smartHostPassword"));
    m_ui->mydomainField->setText(text("mydomainField"));
    m_ui->mydestinationField->setText(text("mydestinationField"));
    m_ui->virtualDomainsField->setText(text("virtualDomainsField"));
    m_ui->accessField->setPlainText(text("accessField"));
    m_ui->aliasesField->setPlainText(text("aliasesField"));
    m_ui->customField->setPlainText(text("customField"));
    if (!controls::selectItemWithTitle(m_ui->luser_relay_popup, text("luser_relay_popup"))
        || values->value(QStringLiteral("luser_relay_popup")).isNull())
        m_ui->luser_relay_popup->setCurrentIndex(0);
    m_ui->rblSitesField->setText(text("rblSitesField"));
    m_ui->portNosField->setText(text("portNosField"));
    m_ui->virtualField->setPlainText(text("virtualField"));
    controls::selectCellAtRow(m_ui->saslAuthMethod, number("saslAuthMethod"));
    m_ui->sasldb_passwdField->setPlainText(text("sasldb_passwdField"));
    controls::setState(m_ui->enableSSL, number("enableSSL"));
    controls::setState(m_ui->requireSSL, number("requireSSL"));
    controls::selectCellAtRow(m_ui->mynetworks_style, number("mynetworks_style"));
    m_ui->countryField->setText(text("countryField"));
    m_ui->provinceField->setText(text("provinceField"));
    m_ui->localityField->setText(text("localityField"));
    m_ui->organisationField->setText(text("organisationField"));
    m_ui->organisationalunitField->setText(text("organisationalunitField"));
    m_ui->youremailaddressField->setText(text("youremailaddressField"));
    m_ui->pollingIntervalField->setText(text("pollingIntervalField"));
    m_ui->timeOutIntervalField->setText(text("timeOutIntervalField"));
    fetchmailController.setRows(values->value(QStringLiteral("fetchmailController")).value<Rows>());
    smartHostController.setRows(values->value(QStringLiteral("smartHostController")).value<Rows>());
    setDeliverabilityForm({number("dkimSigning") != 0, text("dkimSelector")});
    setAcmeForm(acme::fromDocumentValues(*values));
    m_acmeSettingsConfirmed = false;
    setFilteringForm(filtering::fromDocumentValues(*values));
    document::noteRecentDocument(path);
    checkStatusLights();
    markFormsClean(path);
    return true;
}
