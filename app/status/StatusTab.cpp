#include "status/StatusTab.h"

#include "status/DesktopNotifier.h"
#include "status/OutsideSettingsBox.h"
#include "status/StatusSettings.h"
#include "status/WatchJob.h"

#include <QCheckBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

using namespace brevane;

namespace {

enum Column { CheckColumn, StateColumn, FoundColumn, ExpectedColumn, ActionColumn, ColumnCount };

QColor colourOf(status::State state)
{
    switch (state) {
    case status::State::Green:
        return { 0xc8, 0xf0, 0xc8 };
    case status::State::Yellow:
        return { 0xf6, 0xe6, 0xa8 };
    case status::State::Red:
        return { 0xf6, 0xc4, 0xc4 };
    }
    return {};
}

// A tool tip shows rich text when its text looks like some: DNS answers and
// log lines are anyone's, so they go in escaped, shown as the characters they are.
QString plainToolTip(const QString& text)
{
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace

StatusTab::StatusTab(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("statusPage"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    m_summary = new QLabel(tr("Press Check Now to see whether this mail server is healthy."));
    m_summary->setObjectName(QStringLiteral("statusSummaryLabel"));
    m_summary->setWordWrap(true);
    m_checkButton = new QPushButton(tr("Check Now"));
    m_checkButton->setObjectName(QStringLiteral("checkNowButton"));
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("statusProgress"));
    m_progress->setRange(0, 0); // busy: the checks say nothing of how far they are
    m_progress->setMaximumWidth(120);
    m_progress->setVisible(false);
    top->addWidget(m_summary, 1);
    top->addWidget(m_progress);
    top->addWidget(m_checkButton);
    layout->addLayout(top);

    m_table = new QTableWidget(0, ColumnCount);
    m_table->setObjectName(QStringLiteral("statusChecksTable"));
    m_table->setHorizontalHeaderLabels({ tr("Check"), tr("State"), tr("Found"), tr("Expected"), tr("What to do") });
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    m_table->setWordWrap(true);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (const auto& [column, width] :
        { std::pair { CheckColumn, 110 }, { StateColumn, 80 }, { FoundColumn, 300 }, { ExpectedColumn, 200 } })
        m_table->setColumnWidth(column, width);
    // The rows want the room; the settings below them are set once and can
    // be pushed down out of the way.
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName(QStringLiteral("statusSplitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(m_table);
    auto* settings = new QWidget;
    auto* settingsLayout = new QVBoxLayout(settings);
    settingsLayout->setContentsMargins(0, 0, 0, 0);
    settingsLayout->addWidget(queueLimitRow());
    m_outside = new OutsideSettingsBox;
    settingsLayout->addWidget(m_outside);
    m_watchBox = new QCheckBox(tr("Watch this server every 30 minutes and mail postmaster when a check changes"));
    m_watchBox->setObjectName(QStringLiteral("watchJobBox"));
    settingsLayout->addWidget(m_watchBox);
    settingsLayout->addStretch(1);
    splitter->addWidget(settings);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    connect(m_watchBox, &QCheckBox::clicked, this, &StatusTab::watchToggled);
    // Typing is many changes: the watch job hears of them once it pauses.
    m_settled.setSingleShot(true);
    m_settled.setInterval(std::chrono::milliseconds(1500));
    connect(&m_settled, &QTimer::timeout, this, &StatusTab::settingsChanged);
    connect(m_outside, &OutsideSettingsBox::changed, &m_settled, qOverload<>(&QTimer::start));
    connect(m_queueLimit, &QSpinBox::valueChanged, &m_settled, qOverload<>(&QTimer::start));

    connect(m_checkButton, &QPushButton::clicked, this, &StatusTab::checkNowRequested);
    connect(&m_watcher, &QFutureWatcher<QList<status::Outcome>>::finished, this, [this] {
        m_checkedHere = true;
        showOutcomes(m_watcher.result());
        m_checkButton->setEnabled(true);
        m_progress->setVisible(false);
        notify(m_outcomes);
        emit checksFinished();
    });
    m_recheck.setInterval(std::chrono::minutes(1));
    connect(&m_recheck, &QTimer::timeout, this, [this] {
        m_recheck.setInterval(std::chrono::minutes(recheckMinutes));
        if (!isChecking())
            emit checkNowRequested();
    });
    m_recheck.start();
}

QWidget* StatusTab::queueLimitRow()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_queueLimit = new QSpinBox;
    m_queueLimit->setObjectName(QStringLiteral("queueLimitBox"));
    m_queueLimit->setRange(status::queueLimitMinimum, status::queueLimitMaximum);
    m_queueLimit->setSingleStep(100);
    m_queueLimit->setValue(int(status::queueLimitFrom(QSettings().value(QLatin1String(status::queueLimitKey)))));
    m_queueLimit->setToolTip(tr("The mail queue row turns red once the queue holds this many messages: a busy server "
                                "wants a higher limit than a quiet one."));
    layout->addWidget(new QLabel(tr("Mail queue: red at")));
    layout->addWidget(m_queueLimit);
    layout->addWidget(new QLabel(tr("messages, or a deferred message older than %1 h.")
                                     .arg(status::QueueLimits {}.oldestDeferredSeconds / 3600)));
    layout->addStretch(1);
    connect(m_queueLimit, &QSpinBox::valueChanged, this,
        [](int limit) { QSettings().setValue(QLatin1String(status::queueLimitKey), limit); });
    return row;
}

void StatusTab::setDnsLookup(dns::Lookup lookup, dns::ServedChain served)
{
    m_dnsLookup = std::move(lookup);
    m_served = std::move(served);
}

void StatusTab::setNotifier(DesktopNotifier* notifier)
{
    m_notifier = notifier;
    connect(m_notifier, &DesktopNotifier::activated, this, &StatusTab::showRequested);
}

void StatusTab::notify(const QList<status::Outcome>& outcomes)
{
    const status::NoticeRound round = status::noticeFor(m_alerts, outcomes, QDateTime::currentSecsSinceEpoch());
    m_alerts = round.memory;
    if (!round.notice)
        return;
    // Made on the first notice, so a window that never has one never touches the bus.
    if (!m_notifier)
        setNotifier(new DesktopNotifier(QDBusConnection::sessionBus(), this));
    m_notifier->show(*round.notice);
}

StatusTab::~StatusTab()
{
    // Every check answers within its own limit, so this wait is bounded;
    // the DNS questions still waiting end at once.
    m_watcher.disconnect();
    if (m_abandoned)
        m_abandoned->store(true);
    m_watcher.waitForFinished();
}

bool StatusTab::isChecking() const
{
    return m_watcher.isRunning();
}

void StatusTab::setQueueCommand(const QStringList& command)
{
    m_queueCommand = command;
}

void StatusTab::runChecks(const status::StatusInputs& given)
{
    if (m_watcher.isRunning())
        return;
    status::StatusInputs inputs = withSettings(given);
    if (!m_queueCommand.isEmpty())
        inputs.queueCommand = m_queueCommand;
    m_abandoned = std::make_shared<std::atomic_bool>(false);
    inputs.dns.abandoned = m_abandoned;
    if (m_dnsLookup) {
        inputs.dns.lookup = m_dnsLookup;
        inputs.dns.served = m_served;
    }
    m_checkButton->setEnabled(false);
    m_progress->setVisible(true);
    m_summary->setText(tr("Checking\u2026"));
    m_watcher.setFuture(
        QtConcurrent::run([checks = status::statusChecks(inputs)] { return status::runChecks(checks); }));
}

status::StatusInputs StatusTab::withSettings(status::StatusInputs inputs) const
{
    inputs.outside = status::applySettings(inputs.outside, m_outside->settings());
    inputs.queueLimits.messages = m_queueLimit->value();
    return inputs;
}

bool StatusTab::isWatching() const
{
    return m_watchBox->isChecked();
}

void StatusTab::showOutcomes(const QList<status::Outcome>& outcomes)
{
    m_outcomes = outcomes;
    m_table->setRowCount(int(outcomes.size()));
    int failing = 0;
    int warnings = 0;
    for (int i = 0; i < outcomes.size(); ++i) {
        const status::Outcome& outcome = outcomes.at(i);
        const status::Result& result = outcome.result;
        const QStringList texts { outcome.title, status::stateText(result.state), result.found, result.expected,
            result.whatToDo };
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(texts.at(column));
            item->setBackground(colourOf(result.state));
            item->setToolTip(plainToolTip(texts.at(column)));
            m_table->setItem(i, column, item);
        }
        failing += result.state == status::State::Red;
        warnings += result.state == status::State::Yellow;
    }
    m_table->resizeRowsToContents();
    const QString when = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"));
    if (failing + warnings == 0)
        m_summary->setText(tr("All %1 checks OK (checked at %2).").arg(outcomes.size()).arg(when));
    else
        m_summary->setText(tr("%1 failing, %2 warning, of %3 checks (checked at %4).")
                               .arg(failing)
                               .arg(warnings)
                               .arg(outcomes.size())
                               .arg(when));
}

void StatusTab::setWatching(bool on)
{
    m_watchBox->setChecked(on);
}

void StatusTab::showWatchResult(const status::StateRead& read)
{
    if (m_checkedHere || isChecking())
        return;
    if (!read.state) {
        m_summary->setText(read.error);
        return;
    }
    QList<status::Outcome> outcomes;
    for (const status::CheckRecord& record : read.state->checks)
        outcomes.append(record.outcome);
    showOutcomes(outcomes);
    m_summary->setText(status::watchSummary(*read.state, QTimeZone::systemTimeZone()));
}
