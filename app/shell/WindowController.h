#pragma once

#include "certificates/AcmeSettings.h"
#include "deliverability/DeliverabilityForm.h"
#include "filtering/FilteringSettings.h"
#include "maintenance/MailQueueModel.h"
#include "shell/RowTableModel.h"
#include "status/StatusChecks.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <optional>

namespace Ui {
class MainWindow;
class LoginPanel;
class AgreementPanel;
} // namespace Ui

class QAbstractButton;
class QAction;
class QButtonGroup;
class QCheckBox;
class QDialog;
class QMenu;
class QToolButton;
class DeliverabilityTab;
class FilteringTab;
class StatusTab;
class StatusLight;
namespace brevane {
class AcmePanel;
class TaskWrapper;
namespace services {
struct ServiceHealth;
}
namespace quitting {
enum class QuitRequest;
}
}

/// The one controller of the one window: application delegate, toolbar and
/// split-view delegate and target of every action. Its methods are glue: they
/// read widgets into plain data, call the rules of their concern and write the
/// results back. The definitions are split by concern across the subsystem
/// folders (start-up, window, reload, Postfix, services, relay hosts,
/// fetchmail, documents, queue, logs).
class WindowController : public QMainWindow
{
    Q_OBJECT

public:
    explicit WindowController(QWidget* parent = nullptr);
    ~WindowController() override;

    // Start-up, login and shutdown.
    /// The system-version test; false after the refusal alert was shown.
    static bool initialize();
    void awakeFromNib();
    void applicationDidFinishLaunching();
    int shouldAccessBeGranted();
    void doLogin();
    void doStartUpChecks();
    void doSanityCheck();
    void applicationWillTerminate();
    /// Ends the application as its menu's Quit does: the shutdown steps run,
    /// then the event loop ends. Waits for a privileged run in progress.
    void terminate();
    /// SIGTERM, SIGHUP: nobody can be asked, so nothing is saved; the loss
    /// of changed forms is logged.
    void terminateOnSignal();

    // Window, toolbar and tabs.
    void selectTabViewItem(QAction* item);
    /// A tab whose page is built in code: the page joins the tab view under
    /// `label`, its toolbar item (one of the tab items, with the label's
    /// icon) goes right after `after`. Answers the item.
    QAction* addTabBuiltInCode(QWidget* page, const QString& label, const QString& itemName, const QString& toolTip,
                               QAction* after);
    QStringList toolbarSelectableItemIdentifiers() const;
    void toolbarWillAddItem(QAction* item);
    void toolbarDidRemoveItem(QAction* item);
    void flagsChanged(Qt::KeyboardModifiers modifiers);
    /// Quits from the menu or a sheet, after asking to save changed forms.
    void quitApp();
    bool windowShouldClose();
    /// End handler of the close alert and of the save question.
    void lastWindowQuitSheetDidDismiss(int returnCode);

    // Reloading the window.
    void reloadData();

    // Postfix configuration and service control.
    /// Writes the configuration; false, after an alert naming the value or
    /// the custom line, when one was refused (nothing written).
    bool postfixConfig();
    /// The collection steps of postfixConfig: updates the controls it
    /// normalises and answers the script's vector, or shows why a value was
    /// refused and answers nothing.
    std::optional<QStringList> collectPostfixArguments();
    /// Writes the configuration under the check, which loads the Postfix
    /// job; puts the previous files back and says why when Postfix refuses
    /// them or does not come up. True when the new files are live.
    bool applyPostfixConfig(const QStringList& arguments, bool jobWasLoaded);
    void restoreLastWorkingConfiguration();
    void loadPostfixSettings();
    void Postfix(QAction* sender);
    void UW(QAction* sender);
    void checkStatusLights();
    bool checkIfLightIsOn(StatusLight* light, int portNo);
    void showHealth(StatusLight* light, const brevane::services::ServiceHealth& health, const QString& service);
    static bool checkIfOpenPort(int portNo);
    void enableSSL(QObject* sender);

    // Relay hosts and test certificates.
    void menuNeedsUpdate(QMenu* menu);
    void chooseSmartHost(QAction* sender);
    void createSSLCerts();
    void createSSLCertsSheetDidEnd(int returnCode);

    // Certificates from an ACME CA.
    void showAcmePanel();
    void obtainAcmeCertificate();
    /// Probes the installed certificates: readable, naming the host, not
    /// expired. Tells the ACME panel what it found.
    bool certificateIsUsable();
    brevane::AcmePanel* acmePanel() const { return m_acmePanel; }

    // Fetchmail.
    void fetchmail();
    void addFetchmailRecord();
    /// Polls the selected account with "fetchmail --check" and shows the answer in its row.
    void testFetchmailAccount();
    bool controlTextShouldEndEditing(QObject* control, const QString& columnIdentifier, const QString& text);
    void loadFetchmailSettings();

    // Settings documents.
    /// True once the forms are written to the chosen document.
    bool saveDocument();
    bool savePanelDidEnd(const QString& path);
    void openDocument();
    void openPanelDidEnd(const QString& path);
    bool applicationOpenFile(const QString& path);
    bool openFile(const QString& path);

    // Mail queue.
    void showMailq();
    void manageMailq(QObject* sender);
    /// Shows the first selected message (headers, body, full remarks) in
    /// the queue tab's panel.
    void viewMailqMessage();

    // Logs, update check and de-installation.
    void showLog(QObject* sender);
    static QString doShellCommand(const QString& commandLine);
    void loadURL(QObject* sender);
    void checkForUpdates();
    void showReadMePanel();
    void closeSheet();
    void deInstall();
    void deInstallWarningSheetDidEnd(int returnCode);

    // DKIM signing and DNS checks.
    void applyDkim();
    void showDkimKeys();
    /// Start, Restart or Stop Postfix takes the signing job along.
    void signingFollowsPostfix(const QString& label);
    DeliverabilityTab* deliverabilityTab() const { return m_deliverability; }

    // Spam and virus filtering.
    void applyFiltering();
    /// Reads the installed filtering back into the Filtering tab.
    void loadFilteringSettings();
    void checkFilteringLight();
    /// Start, Restart or Stop Postfix takes the filtering jobs along.
    void filteringFollowsPostfix(const QString& label);
    /// Teaches rspamd the selected queue messages as spam or as not spam.
    void learnMailqMessages(bool spam);
    FilteringTab* filteringTab() const { return m_filtering; }
    // Health checks.
    /// Probes what needs root, then runs the Status tab's checks.
    void checkStatus();
    StatusTab* statusTab() const { return m_status; }
    // The forms of the tab and the panel built in code, as plain values:
    // documents and the configuration read and write these, never the
    // widgets themselves.
    brevane::DeliverabilityForm deliverabilityForm() const;
    void setDeliverabilityForm(const brevane::DeliverabilityForm& form);
    brevane::acme::AcmeSettings acmeForm() const;
    void setAcmeForm(const brevane::acme::AcmeSettings& form);
    brevane::filtering::FilteringSettings filteringForm() const;
    void setFilteringForm(const brevane::filtering::FilteringSettings& form);

    // Outlets, reachable by tests and by every concern.
    Ui::MainWindow* ui() const { return m_ui.get(); }
    Ui::LoginPanel* loginUi() const { return m_loginUi.get(); }
    QDialog* loginPanel() const { return m_loginPanel; }
    QDialog* agreementPanel() const { return m_agreementPanel; }
    brevane::TaskWrapper* unixTask() const { return m_unixTask.get(); }
    const QHash<QString, QAction*>& toolbarItemsDict() const { return m_toolbarItemsDict; }
    bool openDataFileFromFinder() const { return m_openDataFileFromFinder; }
    QMenu* smartHostMenu() const { return m_smartHostMenu; }

    // The ten keys of an account, and the answer of its last "Test Account".
    brevane::RowTableModel fetchmailController{{"server", "via", "protocol", "aka", "localdomains", "there",
                                                "password", "here", "keep", "ssl", "checkResult"}};
    brevane::RowTableModel protocolController{{"value"}};
    brevane::RowTableModel yesnoController{{"value"}};
    brevane::RowTableModel smartHostController{{"location", "smartHostName", "uID", "pword", "authenticate",
                                                "requireSSL"}};
    brevane::MailQueueModel mailqController;

    /// The one privileged runner as a plain function, for the rules.
    QString run(const QStringList& arguments);
    QString runShell(const QString& commandLine);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpWindow();
    void setUpTables();
    void connectShellActions();
    void connectServiceActions();
    void connectSmartHostActions();
    void connectFetchmailActions();
    /// Whether an emptied fetchmail cell is being edited and may not end (beeps).
    bool fetchmailCellRefusesToEnd();
    void connectDocumentActions();
    void connectAcmeActions();
    void connectMaintenanceActions();
    void setUpQueueTab();
    void setUpDeliverabilityTab();
    void setUpFilteringTab();
    /// The filters take a while to answer after a start: the light looks again.
    void lookAtFilteringLater();
    void setUpStatusTab();
    void showWatchJobResult();
    void setWatchJob(bool on);
    /// What the checks are given without root: the public name, ports, domains.
    brevane::status::StatusInputs statusInputs() const;
    /// The job's settings as the tab has them now.
    QByteArray watchSettings() const;
    /// Hands the installed job the tab's settings when they differ from those sent.
    void sendWatchSettings();
    QStringList dkimDomains() const;
    void showMailqSummary();
    void confirmMailqDelete(const QStringList& queueIDs);
    void followMailqMessage();
    void showLoginSheet();
    void askBeforeQuitting(brevane::quitting::QuitRequest request);
    void quitNow();
    void restoreLoginChoices();
    void rememberLoginChoices();
    void startProgress(const QString& what);
    void stopProgress();
    void customizeToolbar();
    void fitToolbarItemWidths();
    QVariantMap documentValues() const;
    void watchFormsForEdits();
    void markFormsClean(const QString& documentPath);
    void noteFormsEdited();

    std::unique_ptr<Ui::MainWindow> m_ui;
    std::unique_ptr<Ui::LoginPanel> m_loginUi;
    std::unique_ptr<Ui::AgreementPanel> m_agreementUi;
    QDialog* m_loginPanel = nullptr;
    QDialog* m_agreementPanel = nullptr;
    std::unique_ptr<brevane::TaskWrapper> m_unixTask;
    QHash<QString, QAction*> m_toolbarItemsDict;
    bool m_openDataFileFromFinder = false;
    bool m_launched = false;
    bool m_loggedIn = false;
    bool m_terminating = false;
    bool m_shutDown = false;
    QMenu* m_smartHostMenu = nullptr;
    QString m_documentPath;
    QByteArray m_cleanForms;
    struct QueueTab; // the queue tab's own widgets and timer, a child object
    QueueTab* m_queueTab = nullptr;
    DeliverabilityTab* m_deliverability = nullptr;
    FilteringTab* m_filtering = nullptr;
    StatusLight* m_filteringLight = nullptr;
    bool m_filteringInstalled = false; ///< as last read back
    bool m_virusScanningInstalled = false;
    StatusTab* m_status = nullptr;
    QByteArray m_watchSettingsSent;
    brevane::AcmePanel* m_acmePanel = nullptr;
    QDialog* m_acmeDialog = nullptr;
    // Settings a document brought are someone else's until the administrator
    // has confirmed them once: they reach certbot, which runs as root.
    bool m_acmeSettingsConfirmed = true;
};
