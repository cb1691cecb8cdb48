// What the user typed stays what the window shows and sends.
#include "WindowFixture.h"
#include "shell/Controls.h"

#include <QLineEdit>
#include <QPointer>
#include <QTableView>

TEST_F(WindowTest, ARefusedRestartKeepsTheFormsAndPostfix)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    launchAndLogIn();
    fake.clearCalls();
    const QString typed = QStringLiteral("example.com\nrelayhost=evil.example");
    ui()->mydomainField->setText(typed);
    ui()->aliasesField->setPlainText(QStringLiteral("root: joe"));
    window->Postfix(ui()->postfixItem);
    ASSERT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(ui()->mydomainField->text(), typed);
    EXPECT_EQ(ui()->aliasesField->toPlainText(), "root: joe");
    EXPECT_EQ(fake.countCalls("launchctl unload"), 0);
    EXPECT_EQ(ui()->postfixItem->text(), "Restart Postfix");
}

TEST_F(WindowTest, TheSmtpUserListReachesTheScriptAsTyped)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    launchAndLogIn();
    const QString password = QString("pa") + QChar(0xA0) + "ss" + QChar(0x2028) + "word";
    brevane::controls::selectCellAtRow(ui()->saslAuthMethod, 2);
    ui()->sasldb_passwdField->setPlainText("alice:" + password + "\nbob:x");
    fake.clearCalls();
    window->Postfix(ui()->postfixItem);
    EXPECT_EQ(fake.countCalls("alice:" + password + "\rbob:x"), 1) << fake.calls().join('\n').toStdString();
}

TEST_F(WindowTest, AnEmptiedFetchmailCellStaysInEditing)
{
    launchAndLogIn();
    window->selectTabViewItem(ui()->fetchmailItem);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->addFetchmailRecord();
    QTableView* table = ui()->fetchmailTable;
    const QModelIndex cell = table->model()->index(0, window->fetchmailController.columnKeys().indexOf("there"));
    table->setCurrentIndex(cell);
    table->edit(cell);
    QPointer<QLineEdit> editor = table->viewport()->findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->clear();
    const int beeps = Alerts::beepCount();
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(cell.siblingAtColumn(0)).center());
    ui()->pollingIntervalField->setFocus();
    QTest::qWait(50);
    ASSERT_TRUE(editor && editor->isVisible());
    EXPECT_TRUE(editor->hasFocus());
    EXPECT_GE(Alerts::beepCount(), beeps + 2);
    EXPECT_EQ(cell.data().toString(), "remoteUserID");
    fake.clearCalls();
    window->fetchmail(); // applying would write the old value
    EXPECT_EQ(fake.countCalls("fetchmailrc"), 0);
    ASSERT_TRUE(editor && editor->isVisible());

    QTest::keyClicks(editor, "joe");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return !editor; }));
    EXPECT_EQ(cell.data().toString(), "joe");
}
