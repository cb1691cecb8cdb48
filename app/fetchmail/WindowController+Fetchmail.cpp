// Fetchmail accounts and the run-control file.
#include "fetchmail/EditingRule.h"
#include "fetchmail/FetchmailAccounts.h"
#include "fetchmail/PollingIntervals.h"
#include "fetchmail/RunControlReader.h"
#include "fetchmail/RunControlWriter.h"
#include "shell/Alerts.h"
#include "shell/TextHelpers.h"
#include "shell/ToolbarRules.h"
#include "shell/UserDefaults.h"
#include "shell/WindowController.h"
#include "ui_MainWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStyledItemDelegate>

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

/// Refuses to leave a cell empty, except in the columns that may be.
class NonEmptyDelegate : public QStyledItemDelegate
{
public:
    NonEmptyDelegate(WindowController* window, QString column, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_window(window)
        , m_column(std::move(column))
    {
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        const QString text = static_cast<QLineEdit*>(editor)->text();
        if (!m_window->controlTextShouldEndEditing(m_window->ui()->fetchmailTable, m_column, text))
            return;
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    WindowController* m_window;
    QString m_column;
};

} // namespace

void WindowController::connectFetchmailActions()
{
    const QStringList& keys = fetchmailController.columnKeys();
    for (int column = 0; column < keys.size(); ++column) {
        const QString& key = keys.at(column);
        QAbstractItemDelegate* delegate = nullptr;
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
