#pragma once

#include "status/StatusChecks.h"
#include "status/StatusNotice.h"
#include "status/StatusState.h"

#include <QFutureWatcher>
#include <QHash>
#include <QTimer>
#include <QWidget>

class DesktopNotifier;
class OutsideSettingsBox;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

/// The Status tab: one row a health check, green, yellow or red, with what
/// was found, what is expected and what to do. The checks run off the GUI
/// thread; the window controller hands over what only it can probe.
class StatusTab : public QWidget {
    Q_OBJECT

public:
    explicit StatusTab(QWidget* parent = nullptr);
    ~StatusTab() override;

    /// Runs the checks off the GUI thread; checksFinished follows. Does
    /// nothing while a run is still going.
    void runChecks(const brevane::status::StatusInputs& inputs);
    /// The inputs with what the administrator set on this tab.
    brevane::status::StatusInputs withSettings(brevane::status::StatusInputs inputs) const;
    bool isWatching() const;
    bool isChecking() const;
    /// Where the queue is listed from; postqueue unless a test says otherwise.
    void setQueueCommand(const QStringList& command);
    QList<brevane::status::Outcome> outcomes() const { return m_outcomes; }
    /// The watch job's last result, until Check Now has run; a state file
    /// that could not be read shows its error instead.
    void showWatchResult(const brevane::status::StateRead& read);
    /// Ticks the watch box without asking for a change.
    void setWatching(bool on);
    /// Where the DNS checks ask; the system's resolver unless a test says otherwise.
    void setDnsLookup(brevane::dns::Lookup lookup, brevane::dns::ServedChain served = {});
    /// Where notices of checks turning red go; the session bus's server by default.
    void setNotifier(DesktopNotifier* notifier);
    /// While the window is open the checks run a minute after it opens
    /// (time to log in), then this often.
    static constexpr int recheckMinutes = 30;

signals:
    /// Check Now was pressed: the controller probes, then calls runChecks.
    void checkNowRequested();
    void checksFinished();
    /// The watch box was ticked or cleared by the administrator.
    void watchToggled(bool on);
    /// A notice of ours was clicked: the window comes to the front on this tab.
    void showRequested();
    /// The tab's settings have changed and have settled for a moment.
    void settingsChanged();

private:
    void showOutcomes(const QList<brevane::status::Outcome>& outcomes);
    void notify(const QList<brevane::status::Outcome>& outcomes);
    QWidget* queueLimitRow();

    QPushButton* m_checkButton = nullptr;
    QLabel* m_summary = nullptr;
    QTableWidget* m_table = nullptr;
    QProgressBar* m_progress = nullptr;
    QSpinBox* m_queueLimit = nullptr;
    DesktopNotifier* m_notifier = nullptr;
    QHash<QString, brevane::status::AlertMemory> m_alerts;
    QTimer m_recheck;
    QTimer m_settled;
    brevane::dns::Lookup m_dnsLookup;
    brevane::dns::ServedChain m_served;
    /// Set when the answers of the running DNS checks are no longer wanted.
    std::shared_ptr<std::atomic_bool> m_abandoned;
    OutsideSettingsBox* m_outside = nullptr;
    QCheckBox* m_watchBox = nullptr;
    bool m_checkedHere = false;
    QList<brevane::status::Outcome> m_outcomes;
    QStringList m_queueCommand;
    QFutureWatcher<QList<brevane::status::Outcome>> m_watcher;
};
