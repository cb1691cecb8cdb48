// The mail-queue view.
#include "maintenance/MailQueue.h"
#include "maintenance/QueueRefresh.h"
#include "maintenance/ShownMessage.h"
#include "privileged/TaskWrapper.h"
#include "shell/Alerts.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>

using namespace brevane;

namespace {

constexpr int refreshIntervalMs = 30'000;

// Tags of the queue buttons, as manageMailq reads them.
enum QueueTag { DeleteTag = 0, FlushTag = 1, RefreshTag = 2, HoldTag, ReleaseTag, RequeueTag, ViewTag };

QPushButton* queueButton(const QString& name, const QString& title, const QString& tip, int tag)
{
    auto* button = new QPushButton(title);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setProperty("tag", tag);
    return button;
}

} // namespace

struct WindowController::QueueTab : QObject {
    using QObject::QObject;
    QLineEdit* filterField = nullptr;
    QLabel* summaryField = nullptr;
    QPlainTextEdit* messageField = nullptr;
    QTimer refreshTimer {this};
    bool listing = false;
    std::optional<ShownMessage> shown; // what the message pane shows
};

void WindowController::setUpQueueTab()
{
    m_queueTab = new QueueTab(this);
    QueueTab& tab = *m_queueTab;
    QTableView* table = m_ui->mailqTable;
    mailqController.setColumnTitles({tr("Queue ID"), tr("Size"), tr("Arrival time"), tr("Sender"), tr("Recipient"),
                                     tr("Remarks"), tr("Queue"), tr("Next retry")});
    table->setModel(&mailqController);
    table->setSelectionModel(mailqController.selectionModel());
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); // the queue's own order first
    table->setSortingEnabled(true);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Every column fits a 1,100-pixel window; the remark's tool tip shows it whole.
    const int widths[] {90, 50, 140, 150, 175, 225, 70, 140};
    for (int column = 0; column < MailQueueModel::ColumnCount; ++column)
        table->setColumnWidth(column, widths[column]);

    tab.filterField = new QLineEdit;
    tab.filterField->setObjectName(QStringLiteral("mailqFilterField"));
    tab.filterField->setPlaceholderText(tr("Filter by sender, recipient, queue ID or remark"));
    tab.filterField->setClearButtonEnabled(true);
    tab.summaryField = new QLabel;
    tab.summaryField->setObjectName(QStringLiteral("mailqSummaryField"));
    tab.messageField = new QPlainTextEdit;
    tab.messageField->setObjectName(QStringLiteral("mailqMessageField"));
    tab.messageField->setReadOnly(true);
    tab.messageField->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    tab.messageField->setPlaceholderText(tr("Select a message and press View Message to read it here."));

    auto* split = new QSplitter(Qt::Vertical);
    split->setObjectName(QStringLiteral("mailqSplit"));
    m_ui->mailQueueLayout->replaceWidget(table, split);
    split->addWidget(table);
    split->addWidget(tab.messageField);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    m_ui->mailQueueLayout->insertWidget(0, tab.filterField);
    m_ui->mailQueueLayout->insertWidget(2, tab.summaryField);

    const int at = m_ui->layout_51->indexOf(m_ui->deleteMailqButton);
    const QList<QPushButton*> actions {
        queueButton(QStringLiteral("holdMailqButton"), tr("Hold"), tr("Put the selected messages on hold."),
                    HoldTag),
        queueButton(QStringLiteral("releaseMailqButton"), tr("Release"),
                    tr("Release the selected messages from hold."), ReleaseTag),
        queueButton(QStringLiteral("requeueMailqButton"), tr("Requeue"),
                    tr("Route the selected messages again, for instance after changing the relay host."),
                    RequeueTag),
        queueButton(QStringLiteral("viewMailqButton"), tr("View Message"),
                    tr("Show the selected message's headers and body."), ViewTag)};
    for (int i = 0; i < actions.size(); ++i) {
        m_ui->layout_51->insertWidget(at + i, actions.at(i));
        connect(actions.at(i), &QAbstractButton::clicked, this, [this, button = actions.at(i)] { manageMailq(button); });
    }

    connect(tab.filterField, &QLineEdit::textChanged, this, [this](const QString& text) {
        mailqController.setFilterText(text);
        showMailqSummary();
    });
    connect(table, &QAbstractItemView::doubleClicked, this, &WindowController::viewMailqMessage);
    // Listed when the tab opens, then every 30 s while it is shown.
    tab.refreshTimer.setObjectName(QStringLiteral("mailqRefreshTimer"));
    tab.refreshTimer.setInterval(refreshIntervalMs);
    connect(&tab.refreshTimer, &QTimer::timeout, this, &WindowController::showMailq);
    connect(m_ui->tabView, &QStackedWidget::currentChanged, this, [this] {
        if (m_ui->tabView->currentWidget() != m_ui->mailQueuePage) {
            m_queueTab->refreshTimer.stop();
            return;
        }
        m_queueTab->refreshTimer.start();
        showMailq();
    });
    showMailqSummary();
}

void WindowController::showMailq()
{
    // A timer can fire while a listing waits for its output: one at a time.
    if (m_queueTab->listing)
        return;
    m_queueTab->listing = true;
    startProgress(tr("Listing the mail queue\u2026"));
    // A runner busy with another command lists nothing: keep what is shown.
    if (refreshQueue(*m_unixTask, mailqController)) {
        showMailqSummary();
        followMailqMessage();
    }
    stopProgress();
    m_queueTab->listing = false;
}

void WindowController::showMailqSummary()
{
    m_queueTab->summaryField->setText(summaryText(mailqController.summary()));
}

void WindowController::manageMailq(QObject* sender)
{
    const int tag = sender->property("tag").toInt();
    const QStringList selected = mailqController.selectedQueueIDs();
    const auto act = [this, &selected](QueueAction action) {
        // One run for all the selected messages, however many.
        if (const auto command = queueActionCommand(action, selected))
            run(*command);
    };
    switch (tag) {
    case DeleteTag:
        if (!selected.isEmpty()) {
            confirmMailqDelete(selected);
            return; // lists again once answered
        }
        break;
    case FlushTag:
        run(mailqFlushCommand());
        break;
    case HoldTag:
        act(QueueAction::Hold);
        break;
    case ReleaseTag:
        act(QueueAction::Release);
        break;
    case RequeueTag:
        if (m_queueTab->shown && !m_queueTab->shown->listed.messages.isEmpty()
            && selected.contains(printedQueueID(m_queueTab->shown->listed.messages.constFirst())))
            m_queueTab->shown->requeueAsked = true;
        act(QueueAction::Requeue);
        break;
    case ViewTag:
        viewMailqMessage();
        return; // reading changes nothing: no new listing
    default:
        break;
    }
    // Postfix acts on the queue asynchronously: list it once it has.
    QTimer::singleShot(400, this, &WindowController::showMailq);
}

void WindowController::confirmMailqDelete(const QStringList& queueIDs)
{
    QList<qint32> messages;
    for (int row : mailqController.selectionIndexes())
        if (!messages.contains(mailqController.recipientAt(row).message))
            messages.append(mailqController.recipientAt(row).message);
    const auto command = queueActionCommand(QueueAction::Delete, queueIDs);
    Alerts::beginSheet(this, deleteQuestion(mailqController.listing(), messages), [this, command](int answer) {
        if (answer == returncode::alternateButton && command)
            run(*command);
        QTimer::singleShot(400, this, &WindowController::showMailq);
    });
}

void WindowController::viewMailqMessage()
{
    const QList<int> rows = mailqController.selectionIndexes();
    if (rows.isEmpty())
        return;
    const qint32 message = mailqController.recipientAt(rows.first()).message;
    const auto command = viewMessageCommand(mailqController.messageAt(rows.first()).queueID);
    const QString contents = command ? run(*command) : QString();
    m_queueTab->shown = shownMessage(mailqController.listing(), message, contents);
    m_queueTab->messageField->setPlainText(messageViewText(mailqController.listing(), message, contents));
}

// After every listing the pane tells the message as it now stands, under
// its new queue ID once a requeue has given it one.
void WindowController::followMailqMessage()
{
    if (!m_queueTab->shown)
        return;
    const ShownMessage& shown = *m_queueTab->shown;
    const QueueListing& listing = mailqController.listing();
    const qint32 found = findShownMessage(listing, shown);
    const bool moved = found >= 0 && listing.messages.at(found).queueID != shown.listed.messages.constFirst().queueID;
    QString contents = shown.contents;
    if (moved) {
        const auto command = viewMessageCommand(listing.messages.at(found).queueID);
        contents = command ? run(*command) : QString();
    }
    m_queueTab->shown = followShownMessage(listing, found, shown, contents);
    m_queueTab->messageField->setPlainText(shownMessageText(*m_queueTab->shown, found >= 0));
    if (moved && mailqController.selectionIndexes().isEmpty())
        mailqController.selectMessage(found);
}
