#include "WindowFixture.h"
#include "shell/SplitView.h"
#include "shell/StatusLight.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTimer>

using namespace brevane;

TEST_F(WindowTest, OptionTurnsRestartIntoStopAndBackButNeverStart)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    fake.answer("grep com.dadarozudedarid.fetchmail", "YES\\n");
    launchAndLogIn();
    ASSERT_EQ(ui()->postfixItem->text(), "Restart Postfix");
    ASSERT_EQ(ui()->fetchmailButton->text(), "Restart Fetchmail");

    window->flagsChanged(Qt::AltModifier);
    EXPECT_EQ(ui()->postfixItem->text(), "Stop Postfix");
    EXPECT_EQ(ui()->fetchmailButton->text(), "Stop Fetchmail");
    EXPECT_EQ(ui()->postLogButton->text(), "Postfix Config");
    window->flagsChanged(Qt::NoModifier);
    EXPECT_EQ(ui()->postfixItem->text(), "Restart Postfix");
    EXPECT_EQ(ui()->fetchmailButton->text(), "Restart Fetchmail");
    EXPECT_EQ(ui()->postLogButton->text(), "Postfix Log");
}

TEST_F(WindowTest, OptionLeavesAStoppedPostfixAlone)
{
    launchAndLogIn();
    ASSERT_EQ(ui()->postfixItem->text(), "Start Postfix");
    window->flagsChanged(Qt::AltModifier);
    EXPECT_EQ(ui()->postfixItem->text(), "Start Postfix");
    EXPECT_EQ(ui()->fetchmailButton->text(), "Start Fetchmail");
}

TEST_F(WindowTest, RealAltKeyEventsReachTheLabels)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    launchAndLogIn();
    QApplication::setActiveWindow(window.get());
    QTest::keyPress(window.get(), Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(ui()->postfixItem->text(), "Stop Postfix");
    QTest::keyRelease(window.get(), Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(ui()->postfixItem->text(), "Restart Postfix");
}

TEST_F(WindowTest, LeavingTheWindowDropsTheAltLabelsAndComingBackReadsTheKeys)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    launchAndLogIn();
    QApplication::setActiveWindow(window.get());
    QWindow* handle = window->windowHandle();
    const auto send = [&](QEvent::Type type) {
        QEvent event(type);
        QCoreApplication::sendEvent(window.get(), &event);
    };
    // Alt+F4: the close alert takes the keys before Alt is released.
    QTest::keyPress(handle, Qt::Key_Alt, Qt::AltModifier);
    ASSERT_EQ(ui()->postfixItem->text(), "Stop Postfix");
    send(QEvent::WindowDeactivate);
    EXPECT_EQ(ui()->postfixItem->text(), "Restart Postfix");
    EXPECT_EQ(ui()->postLogButton->text(), "Postfix Log");
    // Back while Alt is still down: the keyboard, not the last event, says so.
    send(QEvent::WindowActivate);
    EXPECT_EQ(ui()->postfixItem->text(), "Stop Postfix");
    QTest::keyRelease(handle, Qt::Key_Alt, Qt::NoModifier);
    EXPECT_EQ(ui()->postfixItem->text(), "Restart Postfix");
}

TEST_F(WindowTest, RemovingTheRunningPostfixItemStopsPostfix)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    launchAndLogIn();
    fake.clearCalls();
    ui()->toolbar->removeAction(ui()->postfixItem);
    window->toolbarDidRemoveItem(ui()->postfixItem);
    EXPECT_EQ(fake.countCalls("launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.postfix.plist"), 1);
}

TEST_F(WindowTest, RemovingAStoppedServiceItemDoesNothing)
{
    launchAndLogIn();
    fake.clearCalls();
    ASSERT_EQ(ui()->imapItem->text(), "Start IMAP");
    window->toolbarDidRemoveItem(ui()->imapItem);
    window->toolbarDidRemoveItem(ui()->postfixItem);
    EXPECT_TRUE(fake.calls().isEmpty());
}

TEST_F(WindowTest, RemovingARunningUWItemStopsItsDaemon)
{
    launchAndLogIn();
    fake.clearCalls();
    ui()->imapItem->setText("Stop IMAP");
    window->toolbarDidRemoveItem(ui()->imapItem);
    EXPECT_EQ(fake.countCalls("launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.uw_imap.plist"), 1);
}

TEST_F(WindowTest, AddingAnItemBackRegistersItAndRefreshesLabels)
{
    launchAndLogIn();
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    ui()->toolbar->removeAction(ui()->postfixItem);
    ui()->postfixItem->setText("stale");
    ui()->toolbar->addAction(ui()->postfixItem);
    window->toolbarWillAddItem(ui()->postfixItem);
    EXPECT_EQ(window->toolbarItemsDict().value("Postfix"), ui()->postfixItem);
    EXPECT_EQ(ui()->postfixItem->text(), "Restart Postfix");
}

TEST_F(WindowTest, SelectableItemsAreTheFiveTabItemsInOrder)
{
    launchAndLogIn();
    EXPECT_EQ(window->toolbarSelectableItemIdentifiers(),
              (QStringList{"outgoingItem", "mailServerItem", "fetchmailItem", "mailLogItem", "mailQueueItem"}));
}

TEST_F(WindowTest, ClosingTheWindowAsksAndCancelKeepsEverything)
{
    launchAndLogIn();
    Alerts::setNextAnswer(returncode::alternateButton);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    ASSERT_FALSE(Alerts::shown().isEmpty());
    const AlertSpec& alert = Alerts::shown().constLast();
    EXPECT_EQ(alert.title, "Alert");
    EXPECT_EQ(alert.message, "Closing the window will quit the application.");
    EXPECT_EQ(alert.defaultButton, "Quit");
    EXPECT_EQ(alert.alternateButton, "Cancel");
}

TEST_F(WindowTest, SplitViewGivesEveryHeightChangeToTheBottomPane)
{
    SplitView split;
    split.setOrientation(Qt::Vertical);
    split.setHandleWidth(9);
    auto* top = new QWidget;
    auto* bottom = new QWidget;
    split.addWidget(top);
    split.addWidget(bottom);
    split.resize(600, 400);
    split.show();
    QCoreApplication::processEvents();
    split.setSizes({150, 241});
    split.resize(600, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(top->height(), 92);
    EXPECT_EQ(bottom->y(), 101);
    EXPECT_EQ(bottom->height(), 399);

    // A change of width alone leaves the divider where the user put it.
    split.setSizes({120, 371});
    split.resize(700, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(top->height(), 120);

    EXPECT_EQ(split.constrainedPosition(10), 50);
    EXPECT_EQ(split.constrainedPosition(450), 500 - 9 - 280);
}

TEST_F(WindowTest, TheWindowsOwnSplitViewFollowsTheRulesNotThePanesHints)
{
    SplitView* split = ui()->splitView;
    for (const int height : {760, 900, 640}) {
        window->resize(1000, height);
        QCoreApplication::processEvents();
        EXPECT_EQ(split->widget(0)->height(), 92) << height;
    }
    // Drag the divider (a press on the handle, a move far beyond each end).
    const auto dragTo = [split](int y) {
        QSplitterHandle* handle = split->handle(1);
        const QPointF grab(5, 4);
        QMouseEvent press(QEvent::MouseButtonPress, grab, handle->mapToGlobal(grab), Qt::LeftButton,
                          Qt::LeftButton, {});
        QCoreApplication::sendEvent(handle, &press);
        const QPointF to = handle->mapFrom(split, QPoint(5, y + 4));
        QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(handle, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, to, handle->mapToGlobal(to), Qt::LeftButton,
                            Qt::NoButton, {});
        QCoreApplication::sendEvent(handle, &release);
        return split->widget(0)->height();
    };
    EXPECT_EQ(dragTo(-400), 50);
    EXPECT_EQ(dragTo(split->height() + 400), split->height() - split->handleWidth() - 280);
}

TEST_F(WindowTest, ToolbarItemsHaveDistinctFullSizeIconsAndKeepTheirWidths)
{
    QList<QImage> seen;
    for (QAction* item : ui()->toolbar->actions()) {
        if (item->property("paletteLabel").toString().isEmpty())
            continue;
        SCOPED_TRACE(item->text().toStdString());
        EXPECT_EQ(item->icon().actualSize(QSize(32, 32)), QSize(32, 32));
        const QImage image = item->icon().pixmap(32, 32).toImage();
        EXPECT_FALSE(seen.contains(image));
        seen.append(image);
    }
    QWidget* postfix = ui()->toolbar->widgetForAction(ui()->postfixItem);
    const int width = postfix->width();
    ui()->postfixItem->setText("Restart Postfix");
    QCoreApplication::processEvents();
    EXPECT_EQ(postfix->width(), width);
}

TEST_F(WindowTest, CustomizingNamesTheServicesAndSaysUntickingStopsThem)
{
    QStringList names;
    QString note;
    QTimer::singleShot(0, window.get(), [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(top);
            if (!dialog || !dialog->isVisible() || !dialog->findChild<QListWidget*>())
                continue;
            const QListWidget* list = dialog->findChild<QListWidget*>();
            for (int i = 0; i < list->count(); ++i)
                names.append(list->item(i)->text());
            if (const auto* label = dialog->findChild<QLabel*>())
                note = label->text();
            dialog->reject();
        }
    });
    ui()->customizeToolbarAction->trigger();
    EXPECT_TRUE(names.contains("POP3s server")) << names.join(", ").toStdString();
    EXPECT_FALSE(names.join(",").contains("UW_"));
    EXPECT_TRUE(note.contains("running service stops that service"));
}
