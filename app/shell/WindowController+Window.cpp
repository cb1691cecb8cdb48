// Window, toolbar and tabs.
#include "privileged/TaskWrapper.h"
#include "shell/Alerts.h"
#include "shell/QuitRules.h"
#include "shell/ToolbarIcons.h"
#include "shell/ToolbarRules.h"
#include "shell/WindowController.h"
#include "ui_LoginPanel.h"
#include "ui_MainWindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace brevane;

void WindowController::connectShellActions()
{
    for (QAction* item : m_ui->toolbar->actions()) {
        const QString label = item->property("paletteLabel").toString();
        if (toolbar::tabLabels().contains(label))
            connect(item, &QAction::triggered, this, [this, item] { selectTabViewItem(item); });
    }
    connect(m_loginUi->loginButton, &QPushButton::clicked, this, &WindowController::doLogin);
    connect(m_loginUi->quitButton, &QPushButton::clicked, this, &WindowController::quitApp);
    connect(m_ui->quitAction, &QAction::triggered, this, &WindowController::quitApp);
    connect(m_ui->customizeToolbarAction, &QAction::triggered, this, &WindowController::customizeToolbar);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (!m_shutDown)
            applicationWillTerminate();
    });
}

void WindowController::selectTabViewItem(QAction* item)
{
    const QString label = item->property("paletteLabel").toString();
    for (int i = 0; i < m_ui->tabView->count(); ++i) {
        if (m_ui->tabView->widget(i)->property("identifier").toString() == label)
            m_ui->tabView->setCurrentIndex(i);
    }
    if (QAction* registered = m_toolbarItemsDict.value(label))
        registered->setChecked(true);
    setFocus();
}

QAction* WindowController::addTabBuiltInCode(QWidget* page, const QString& label, const QString& itemName,
                                            const QString& toolTip, QAction* after)
{
    page->setProperty("identifier", label);
    m_ui->tabView->addWidget(page);
    auto* item = new QAction(label, this);
    item->setObjectName(itemName);
    item->setToolTip(toolTip);
    item->setProperty("paletteLabel", label);
    item->setCheckable(true);
    item->setIcon(toolbarIcon(label, style(), m_ui->toolbar->iconSize().height()));
    if (QActionGroup* tabs = m_ui->outgoingItem->actionGroup())
        tabs->addAction(item);
    const QList<QAction*> items = m_ui->toolbar->actions();
    m_ui->toolbar->insertAction(items.value(items.indexOf(after) + 1), item);
    connect(item, &QAction::triggered, this, [this, item] { selectTabViewItem(item); });
    return item;
}

QStringList WindowController::toolbarSelectableItemIdentifiers() const
{
    QStringList identifiers;
    for (const QString& label : toolbar::tabLabels()) {
        const QAction* item = m_toolbarItemsDict.value(label);
        if (!item)
            break;
        identifiers.append(item->objectName());
    }
    return identifiers;
}

void WindowController::toolbarWillAddItem(QAction* item)
{
    if (!m_launched)
        return;
    m_toolbarItemsDict.insert(item->property("paletteLabel").toString(), item);
    checkStatusLights();
}

void WindowController::toolbarDidRemoveItem(QAction* item)
{
    switch (toolbar::actionForRemovedItem(item->text(), item->property("paletteLabel").toString())) {
    case toolbar::RemovalAction::StopPostfix:
        item->setText(QStringLiteral("Stop Postfix"));
        Postfix(item);
        break;
    case toolbar::RemovalAction::StopUW:
        UW(item);
        break;
    case toolbar::RemovalAction::None:
        break;
    }
}

void WindowController::flagsChanged(Qt::KeyboardModifiers modifiers)
{
    const bool optionHeld = modifiers.testFlag(Qt::AltModifier);
    if (QAction* postfix = m_toolbarItemsDict.value(QStringLiteral("Postfix")))
        postfix->setText(toolbar::labelForOptionKey(postfix->text(), optionHeld));
    m_ui->fetchmailButton->setText(toolbar::labelForOptionKey(m_ui->fetchmailButton->text(), optionHeld));
    m_ui->postLogButton->setText(toolbar::labelForOptionKey(m_ui->postLogButton->text(), optionHeld));
}

void WindowController::quitApp()
{
    askBeforeQuitting(quitting::QuitRequest::Menu);
}

// Nothing ends before the administrator has answered: the forms may hold
// work that is in no document.
void WindowController::askBeforeQuitting(quitting::QuitRequest request)
{
    const auto question = quitting::quitQuestion(request, isWindowModified());
    if (!question) {
        quitNow();
        return;
    }
    Alerts::beginSheet(this, *question, [this](int returnCode) { lastWindowQuitSheetDidDismiss(returnCode); });
}

void WindowController::quitNow()
{
    if (m_loginPanel && m_loginPanel->isVisible())
        m_loginPanel->hide();
    // Deferred so a click handler finishes before the event loop ends.
    QTimer::singleShot(0, this, &WindowController::terminate);
}

void WindowController::terminateOnSignal()
{
    if (isWindowModified())
        qWarning("%s", quitting::unsavedOnSignal);
    terminate();
}

void WindowController::terminate()
{
    m_terminating = true;
    // Ending the event loops now would end the helper's wait and kill it
    // mid-command; the request waits for the run to finish.
    if (m_unixTask->isRunning()) {
        QTimer::singleShot(20, this, &WindowController::terminate);
        return;
    }
    m_loginPanel->hide();
    applicationWillTerminate();
    m_shutDown = true;
    // Qt closes every window first; closeEvent lets this one go now.
    QCoreApplication::quit();
}

bool WindowController::windowShouldClose()
{
    askBeforeQuitting(quitting::QuitRequest::WindowClose);
    return false;
}

// The sheet is window-modal: the forms are as they were when it was asked.
void WindowController::lastWindowQuitSheetDidDismiss(int returnCode)
{
    switch (quitting::stepForAnswer(isWindowModified(), returnCode)) {
    case quitting::QuitStep::SaveThenQuit:
        // A cancelled panel or a failed write (its alert says why) keeps the window.
        if (saveDocument())
            quitNow();
        break;
    case quitting::QuitStep::Quit:
        quitNow();
        break;
    case quitting::QuitStep::Stay:
        break;
    }
}

void WindowController::customizeToolbar()
{
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Customize Toolbar"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* note = new QLabel(tr("Ticked items are shown in the toolbar. Unticking the item of a running "
                               "service stops that service."),
                            &dialog);
    note->setObjectName(QStringLiteral("customizeNote"));
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* list = new QListWidget(&dialog);
    const QList<QAction*> all = findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly);
    QList<QAction*> items;
    for (QAction* item : all) {
        if (item->property("paletteLabel").toString().isEmpty())
            continue;
        items.append(item);
        auto* row = new QListWidgetItem(item->icon(), toolbar::customizationName(item->property("paletteLabel").toString()),
                                        list);
        row->setCheckState(m_ui->toolbar->actions().contains(item) ? Qt::Checked : Qt::Unchecked);
    }
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (int i = 0; i < items.size(); ++i) {
        QAction* item = items.at(i);
        const bool wanted = list->item(i)->checkState() == Qt::Checked;
        const bool shown = m_ui->toolbar->actions().contains(item);
        if (wanted == shown)
            continue;
        if (wanted) {
            // Put it back before the next item of the original order that is shown.
            QAction* before = nullptr;
            for (int j = i + 1; j < items.size() && !before; ++j)
                if (m_ui->toolbar->actions().contains(items.at(j)))
                    before = items.at(j);
            m_ui->toolbar->insertAction(before, item);
            toolbarWillAddItem(item);
        } else {
            m_ui->toolbar->removeAction(item);
            toolbarDidRemoveItem(item);
        }
    }
    fitToolbarItemWidths();
}
