#include "shell/WindowController.h"

#include "privileged/TaskWrapper.h"
#include "shell/LoginSheet.h"
#include "shell/PlainToolTips.h"
#include "shell/StatusLight.h"
#include "shell/ToolbarIcons.h"
#include "shell/ToolbarRules.h"
#include "ui_AgreementPanel.h"
#include "ui_LoginPanel.h"
#include "ui_MainWindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>
#include <algorithm>

using namespace brevane;

WindowController::WindowController(QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::MainWindow>())
    , m_loginUi(std::make_unique<Ui::LoginPanel>())
    , m_agreementUi(std::make_unique<Ui::AgreementPanel>())
{
    m_ui->setupUi(this);
    // The runner exists before launch ends: a document opened at launch
    // already refreshes the lights through it.
    m_unixTask = std::make_unique<TaskWrapper>();
    setUpWindow();
    setUpDeliverabilityTab();
    setUpFilteringTab();
    setUpStatusTab();
    setUpTables();
    connectShellActions();
    connectServiceActions();
    connectSmartHostActions();
    connectFetchmailActions();
    connectAcmeActions();
    connectDocumentActions();
    connectMaintenanceActions();
    awakeFromNib();
    markFormsClean(QString());
}

WindowController::~WindowController() = default;

void WindowController::setUpWindow()
{
    // Both live in a static library: nothing would pull them in otherwise.
    Q_INIT_RESOURCE(images);
    Q_INIT_RESOURCE(text);
    const QList<QWidget*> pages{m_ui->outgoingPage, m_ui->mailServerPage, m_ui->fetchmailPage, m_ui->mailLogPage,
                                m_ui->mailQueuePage};
    for (int i = 0; i < pages.size(); ++i)
        pages.at(i)->setProperty("identifier", toolbar::tabLabels().at(i));

    auto* tabGroup = new QActionGroup(this);
    for (QAction* item : m_ui->toolbar->actions()) {
        const QString label = item->property("paletteLabel").toString();
        if (label.isEmpty())
            continue;
        item->setIcon(toolbarIcon(label, style(), m_ui->toolbar->iconSize().height()));
        if (toolbar::tabLabels().contains(label)) {
            item->setCheckable(true);
            tabGroup->addAction(item);
        }
    }

    m_loginPanel = new LoginSheet(this);
    m_loginUi->setupUi(m_loginPanel);
    m_loginPanel->setWindowModality(Qt::WindowModal);
    m_agreementPanel = new QDialog(this);
    m_agreementUi->setupUi(m_agreementPanel);
    m_agreementPanel->setWindowModality(Qt::WindowModal);
    QFile readMe(QStringLiteral(":/text/ReadMe.html"));
    if (readMe.open(QIODevice::ReadOnly))
        m_agreementUi->readMeText->setHtml(QString::fromUtf8(readMe.readAll()));

    m_ui->splitView->setHandleWidth(9);
    m_ui->splitView->setStretchFactor(1, 1);
    m_ui->progressIndicator->setVisible(false);
    m_ui->progressText->setVisible(false);
    fitToolbarItemWidths();
    // The pop-up's arrow is drawn inside the button: room for it beside the text.
    m_ui->smartHostPopup->setMinimumWidth(
        m_ui->smartHostPopup->sizeHint().width()
        + 2 * m_ui->smartHostPopup->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr,
                                                         m_ui->smartHostPopup));
    m_ui->luser_relay_popup->setItemData(0, QStringLiteral("bounce"), Qt::ToolTipRole);
    qApp->installEventFilter(this);
    // Installed after the window's own filter, so it sees tool tips first.
    qApp->installEventFilter(new PlainToolTips(this));
}

void WindowController::setUpTables()
{
    const auto bind = [](QTableView* view, RowTableModel& model, const QStringList& titles) {
        model.setColumnTitles(titles);
        view->setModel(&model);
        view->setSelectionModel(model.selectionModel());
        view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        view->horizontalHeader()->setStretchLastSection(true);
    };
    bind(m_ui->fetchmailTable, fetchmailController,
         {tr("Server"), tr("Via"), tr("Protocol"), tr("Also known as"), tr("Local domains"), tr("Remote user"),
          tr("Password"), tr("Local user"), tr("Keep"), tr("SSL"), tr("Last test")});
    bind(m_ui->smartHostTable, smartHostController,
         {tr("Location"), tr("Relay host"), tr("User name"), tr("Password"), tr("Authenticate"), tr("TLS")});
    fetchmailController.setSecretKeys({QStringLiteral("password")});
    fetchmailController.setReadOnlyKeys({QStringLiteral("checkResult")});
    smartHostController.setSecretKeys({QStringLiteral("pword")});
    smartHostController.setCheckBoxKeys({QStringLiteral("authenticate"), QStringLiteral("requireSSL")});
    // Narrow columns for the choices, so the last test's answer is on screen.
    const int fetchmailWidths[] = {150, 80, 70, 100, 100, 100, 80, 80, 50, 50};
    for (int column = 0; column < 10; ++column)
        m_ui->fetchmailTable->setColumnWidth(column, fetchmailWidths[column]);
    m_ui->smartHostTable->setColumnWidth(1, 220);
}

QString WindowController::run(const QStringList& arguments)
{
    m_unixTask->setArgs(arguments);
    return m_unixTask->startProcessGetResult();
}

QString WindowController::runShell(const QString& commandLine)
{
    return run({QStringLiteral("/bin/sh"), QStringLiteral("-c"), commandLine});
}

void WindowController::startProgress(const QString& what)
{
    m_ui->progressText->setText(what);
    m_ui->progressText->setVisible(true);
    m_ui->progressIndicator->setVisible(true);
}

void WindowController::stopProgress()
{
    m_ui->progressIndicator->setVisible(false);
    m_ui->progressText->setVisible(false);
}

// Each item as wide as its longest label, so nothing moves when one changes.
void WindowController::fitToolbarItemWidths()
{
    for (QAction* item : m_ui->toolbar->actions()) {
        QWidget* button = m_ui->toolbar->widgetForAction(item);
        const QString label = item->property("paletteLabel").toString();
        if (!button || label.isEmpty())
            continue;
        int widest = m_ui->toolbar->iconSize().width();
        for (const QString& text : toolbar::possibleLabels(label, item->text()))
            widest = std::max(widest, button->fontMetrics().horizontalAdvance(text));
        button->setFixedWidth(widest + 16);
    }
}

void WindowController::closeEvent(QCloseEvent* event)
{
    if (!m_terminating && !windowShouldClose())
        event->ignore();
}

bool WindowController::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    // A deliberately blank tip (set so the label does not stand in) shows nothing.
    if (type == QEvent::ToolTip) {
        if (const auto* widget = qobject_cast<QWidget*>(watched);
            widget && !widget->toolTip().isEmpty() && widget->toolTip().trimmed().isEmpty())
            return true;
    }
    // Alt released while another window (an alert, the window manager) has
    // the keys is never seen here: leaving drops the Alt labels, coming back
    // asks the keyboard how the keys are.
    if (watched == this && type == QEvent::WindowDeactivate)
        flagsChanged(Qt::NoModifier);
    if (watched == this && type == QEvent::WindowActivate)
        flagsChanged(QGuiApplication::queryKeyboardModifiers());
    // Key events reach a widget of this window only while it is the active one.
    const auto* target = qobject_cast<QWidget*>(watched);
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && target
        && (target == this || isAncestorOf(target))) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // The Alt key's own event carries the modifiers of before it.
        if (key->key() == Qt::Key_Alt && !key->isAutoRepeat())
            flagsChanged(type == QEvent::KeyPress ? key->modifiers() | Qt::AltModifier
                                                  : key->modifiers() & ~Qt::AltModifier);
    }
    return QMainWindow::eventFilter(watched, event);
}
