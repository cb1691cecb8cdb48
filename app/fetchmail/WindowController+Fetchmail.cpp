// Fetchmail accounts and the run-control file.
#include "fetchmail/AccountCheck.h"
#include "fetchmail/EditingRule.h"
#include "fetchmail/FetchmailAccounts.h"
#include "fetchmail/PollingIntervals.h"
#include "fetchmail/RunControlReader.h"
#include "fetchmail/RunControlWriter.h"
#include "privileged/TaskWrapper.h"
#include "shell/Alerts.h"
#include "shell/TextHelpers.h"
#include "shell/ToolbarRules.h"
#include "shell/UserDefaults.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>

using namespace brevane;

namespace {

/// Edits a choice column with a pop-up of the choice list's words.
class ChoiceDelegate : public QStyledItemDelegate
{
public:
    ChoiceDelegate(const RowTableModel& choices, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_choices(choices)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* popup = new QComboBox(parent);
        for (const Row& entry : m_choices.arrangedObjects())
            popup->addItem(entry.value(QStringLiteral("value")).toString());
        return popup;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* popup = static_cast<QComboBox*>(editor);
        popup->setCurrentIndex(std::max(0, popup->findText(index.data(Qt::EditRole).toString())));
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText());
    }

private:
    const RowTableModel& m_choices;
};

/// Refuses to leave a cell empty, except in the columns that may be: the
/// refused cell stays in editing, as a field editor that will not resign.
/// Escape still gives the edit up.
class NonEmptyDelegate : public QStyledItemDelegate
{
public:
    NonEmptyDelegate(WindowController* window, QString column, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_window(window)
        , m_column(std::move(column))
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        // The view's clicks elsewhere would end the edit past the editor.
        parent->removeEventFilter(const_cast<NonEmptyDelegate*>(this));
        parent->installEventFilter(const_cast<NonEmptyDelegate*>(this));
        m_editor = qobject_cast<QLineEdit*>(QStyledItemDelegate::createEditor(parent, option, index));
        return m_editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (accepts(static_cast<QLineEdit*>(editor)))
            QStyledItemDelegate::setModelData(editor, model, index);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        const bool editing = m_editor && m_editor->isVisible();
        if (editing && endsEditing(object, event) && !accepts(m_editor)) {
            QTimer::singleShot(0, m_editor, [editor = m_editor] { editor->setFocus(); });
            return true;
        }
        // The view's own events are its own; only the editor's go on.
        return object == m_editor && QStyledItemDelegate::eventFilter(object, event);
    }

private:
    bool accepts(QLineEdit* editor) const
    {
        return m_window->controlTextShouldEndEditing(m_window->ui()->fetchmailTable, m_column, editor->text());
    }

    bool endsEditing(QObject* object, QEvent* event) const
    {
        if (object != m_editor)
            return event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
        }
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab;
    }

    WindowController* m_window;
    QString m_column;
    mutable QPointer<QLineEdit> m_editor;
};

} // namespace

void WindowController::connectFetchmailActions()
{
    const QStringList& keys = fetchmailController.columnKeys();
    for (int column = 0; column < keys.size(); ++column) {
        const QString& key = keys.at(column);
        QAbstractItemDelegate* delegate = nullptr;
        if (key == QLatin1String("checkResult"))
            continue; // read only
        if (key == QLatin1String("protocol"))
            delegate = new ChoiceDelegate(protocolController, this);
        else if (key == QLatin1String("keep") || key == QLatin1String("ssl"))
            delegate = new ChoiceDelegate(yesnoController, this);
        else
            delegate = new NonEmptyDelegate(this, key, this);
        m_ui->fetchmailTable->setItemDelegateForColumn(column, delegate);
    }
    connect(m_ui->addFetchmailButton, &QPushButton::clicked, this, &WindowController::addFetchmailRecord);
    connect(m_ui->removeFetchmailButton, &QPushButton::clicked, this, [this] {
        const QList<int> rows = fetchmailController.selectionIndexes();
        for (auto it = rows.crbegin(); it != rows.crend(); ++it)
            fetchmailController.removeObjectAtArrangedIndex(*it);
    });
    connect(m_ui->fetchmailButton, &QPushButton::clicked, this, &WindowController::fetchmail);
    connect(m_ui->testFetchmailButton, &QPushButton::clicked, this, &WindowController::testFetchmailAccount);
    // A test's answer is about the row as it was tested: an edit clears it.
    const int resultColumn = static_cast<int>(keys.indexOf(QStringLiteral("checkResult")));
    connect(&fetchmailController, &QAbstractItemModel::dataChanged, this,
            [this, resultColumn](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (topLeft.column() == resultColumn && bottomRight.column() == resultColumn)
                    return;
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
                    fetchmailController.setValueForKey(row, QStringLiteral("checkResult"), QString());
            });
    // The button's Alt-click, from the Services menu: the title selects the action.
    connect(m_ui->stopFetchmailAction, &QAction::triggered, this, [this] {
        m_ui->fetchmailButton->setText(QStringLiteral("Stop Fetchmail"));
        fetchmail();
    });
    m_ui->pollingIntervalField->setText(UserDefaults::value(QStringLiteral("pollingInterval")));
    m_ui->timeOutIntervalField->setText(UserDefaults::value(QStringLiteral("timeOutInterval")));
}

void WindowController::fetchmail()
{
    // An emptied cell stays in editing; applying would write its old value.
    if (m_ui->fetchmailButton->text() != QLatin1String("Stop Fetchmail") && fetchmailCellRefusesToEnd())
        return;
    setFocus();
    startProgress(toolbar::busyText(m_ui->fetchmailButton->text()));
    if (m_ui->fetchmailButton->text() == QLatin1String("Stop Fetchmail")) {
        run(stopFetchmailArguments());
    } else {
        m_ui->fetchmailTable->setCurrentIndex({});
        const QString interval = pollingIntervalText(m_ui->pollingIntervalField->text());
        const QString timeout = timeoutText(m_ui->timeOutIntervalField->text());
        UserDefaults::setValue(QStringLiteral("pollingInterval"), interval);
        UserDefaults::setValue(QStringLiteral("timeOutInterval"), timeout);
        QString problem;
        const auto text = fetchmailRunControl(fetchmailController.arrangedObjects(), interval, timeout, &problem);
        if (!text) {
            Alerts::beep();
            Alerts::beginSheet(this, {QStringLiteral("The fetchmail accounts were not written."), problem,
                                      QStringLiteral("OK")});
            stopProgress();
            return;
        }
        run(installFetchmailArguments(*text));
        loadFetchmailSettings();
    }
    checkStatusLights();
    stopProgress();
}

bool WindowController::fetchmailCellRefusesToEnd()
{
    const auto* editor = m_ui->fetchmailTable->viewport()->findChild<QLineEdit*>();
    if (!editor || !editor->isVisible())
        return false;
    const QString column = fetchmailController.columnKeys().value(m_ui->fetchmailTable->currentIndex().column());
    return !controlTextShouldEndEditing(m_ui->fetchmailTable, column, editor->text());
}

void WindowController::testFetchmailAccount()
{
    if (fetchmailCellRefusesToEnd())
        return;
    const QList<int> selected = fetchmailController.selectionIndexes();
    if (selected.isEmpty()) {
        Alerts::beep();
        return;
    }
    m_ui->fetchmailTable->setCurrentIndex({}); // hands over an edit in progress
    const int row = selected.first();
    const Row account = fetchmailController.arrangedObjects().at(row);
    const QString key = QStringLiteral("checkResult");
    if (const QString refusal = accountCheckRefusal(account); !refusal.isEmpty()) {
        fetchmailController.setValueForKey(row, key, refusal);
        return;
    }
    // A remote server may take its time or answer without end: the window
    // stays usable meanwhile, and the answer goes to the row as it was tested.
    const bool started = m_unixTask->startBackgroundRun(
        checkFetchmailAccountArguments(account, timeoutText(m_ui->timeOutIntervalField->text())),
        checkOutputHeadBytes, checkOutputTailBytes, [this, account, key](const QString& output) {
            stopProgress();
            if (const int tested = testedRowIndex(fetchmailController.arrangedObjects(), account); tested >= 0)
                fetchmailController.setValueForKey(tested, key, fetchmailCheckSummary(output));
        });
    if (!started) {
        Alerts::beep();
        return;
    }
    startProgress(QStringLiteral("Testing %1…").arg(trimSpacesAndTabs(account.value("server").toString())));
    fetchmailController.setValueForKey(row, key, QStringLiteral("Testing…"));
}

void WindowController::addFetchmailRecord()
{
    fetchmailController.addObject(newFetchmailRow());
}

bool WindowController::controlTextShouldEndEditing(QObject* control, const QString& columnIdentifier,
                                                   const QString& text)
{
    const bool isTable = control == m_ui->fetchmailTable || control == m_ui->smartHostTable;
    if (shouldEndEditing(isTable, columnIdentifier, text))
        return true;
    Alerts::beep();
    return false;
}

void WindowController::loadFetchmailSettings()
{
    fetchmailController.removeAllObjects();
    fetchmailController.addObjects(
        readFetchmailAccounts([this](const QStringList& arguments) { return run(arguments); },
                              checkIfUnixPathExists(QString::fromLatin1(fetchmailRunControlPath))));
}
