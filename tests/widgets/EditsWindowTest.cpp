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

// One new account in the fetchmail table of an active window.
class FetchmailCellTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        launchAndLogIn();
        window->selectTabViewItem(ui()->fetchmailItem);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        window->addFetchmailRecord();
    }
};

TEST_F(FetchmailCellTest, AnEmptiedCellStaysInEditing)
{
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

// Return, keypad Enter and Tab leave a cell like a click elsewhere does: an
// emptied required cell beeps, keeps its old value and stays in editing
// until it holds a value or Escape gives the edit up.
TEST_F(FetchmailCellTest, EveryKeyThatEndsAnEditKeepsAnEmptiedRequiredCellInEditing)
{
    QTableView* table = ui()->fetchmailTable;
    const auto cellOf = [&](const char* key) {
        return table->model()->index(0, window->fetchmailController.columnKeys().indexOf(key));
    };
    table->model()->setData(cellOf("localdomains"), QStringLiteral("local.example"));
    const struct { Qt::Key key; Qt::KeyboardModifiers modifiers; } endings[] = {
        {Qt::Key_Return, {}}, {Qt::Key_Enter, Qt::KeypadModifier}, {Qt::Key_Tab, {}}};
    for (const char* column : {"server", "there", "password", "here", "localdomains"}) {
        const QModelIndex cell = cellOf(column);
        const QString old = cell.data(Qt::EditRole).toString();
        for (const auto& ending : endings) {
            const auto what = [&] { return std::string(column) + " key " + std::to_string(ending.key); };
            table->setCurrentIndex(cell);
            table->edit(cell);
            QPointer<QLineEdit> editor = table->viewport()->findChild<QLineEdit*>();
            ASSERT_TRUE(editor) << what();
            editor->setFocus();
            editor->clear();
            const int beeps = Alerts::beepCount();
            QTest::keyClick(editor, ending.key, ending.modifiers);
            QTest::qWait(20);
            ASSERT_TRUE(editor && editor->isVisible()) << what();
            EXPECT_TRUE(editor->hasFocus()) << what();
            EXPECT_EQ(Alerts::beepCount(), beeps + 1) << what();
            EXPECT_EQ(cell.data(Qt::EditRole).toString(), old) << what();
            QTest::keyClick(editor, Qt::Key_Escape);
            ASSERT_TRUE(waitFor([&] { return !editor; })) << what();
            EXPECT_EQ(cell.data(Qt::EditRole).toString(), old) << what();
        }
    }
}
