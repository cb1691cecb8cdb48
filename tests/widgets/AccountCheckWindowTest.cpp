// "Test Account" on the fetchmail tab: one row polled, the answer in its row.
#include "WindowFixture.h"
#include "privileged/TaskWrapper.h"

#include <QFile>
#include <QTableView>
#include <QTemporaryDir>

namespace {

QVariant resultOf(WindowController* window, int row)
{
    const auto& keys = window->fetchmailController.columnKeys();
    return window->fetchmailController.index(row, static_cast<int>(keys.indexOf("checkResult"))).data();
}

void setCell(WindowController* window, int row, const char* key, const QString& text)
{
    auto& model = window->fetchmailController;
    ASSERT_TRUE(model.setData(model.index(row, static_cast<int>(model.columnKeys().indexOf(key))), text)) << key;
}

} // namespace

class AccountCheckTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        launchAndLogIn();
        window->selectTabViewItem(ui()->fetchmailItem);
        for (const char* server : {"pop.example.com", "imap.example.com"}) {
            window->addFetchmailRecord();
            setCell(window.get(), window->fetchmailController.rowCount() - 1, "server", server);
        }
        fake.clearCalls();
    }

    // Clicks Test Account and waits for the answer, which comes later.
    void testRow(int row)
    {
        window->fetchmailController.setSelectionIndex(row);
        ui()->testFetchmailButton->click();
        EXPECT_TRUE(waitFor([this] { return !window->unixTask()->isRunningInBackground(); }));
    }
};

TEST_F(AccountCheckTest, TheAnswerShowsInTheTestedRowOnly)
{
    fake.answer("fetchmail --check", "3 messages for remoteUserID at imap.example.com.\\nfetchmail status: 0\\n");
    testRow(1);
    ASSERT_EQ(fake.countCalls("fetchmail --check"), 1);
    EXPECT_TRUE(fake.calls().last().contains("poll \"imap.example.com\"")) << fake.calls().last().toStdString();
    EXPECT_FALSE(fake.calls().last().contains("pop.example.com"));
    EXPECT_EQ(resultOf(window.get(), 1).toString(), "3 messages waiting");
    EXPECT_EQ(resultOf(window.get(), 0).toString(), "");
    // Read only, and gone once the row is edited: it was about the row as tested.
    const QModelIndex cell = window->fetchmailController.index(1, 10);
    EXPECT_FALSE(window->fetchmailController.flags(cell) & Qt::ItemIsEditable);
    EXPECT_FALSE(window->fetchmailController.setData(cell, "5 messages waiting"));
    setCell(window.get(), 1, "password", "another");
    EXPECT_EQ(resultOf(window.get(), 1).toString(), "");
}

TEST_F(AccountCheckTest, ARowThatCannotBeWrittenIsNotTested)
{
    setCell(window.get(), 0, "password", "x\" mda \"/bin/touch /tmp/owned");
    setCell(window.get(), 1, "there", "");
    fake.clearCalls();
    testRow(0);
    testRow(1);
    EXPECT_EQ(fake.countCalls("fetchmail --check"), 0);
    EXPECT_EQ(resultOf(window.get(), 0).toString(), "Not tested: the password holds a double quote");
    EXPECT_EQ(resultOf(window.get(), 1).toString(),
              "Not tested: fill in the server, remote user, password and local user");
}

TEST_F(AccountCheckTest, NoRowSelectedBeepsAndRunsNothing)
{
    const int beeps = Alerts::beepCount();
    window->fetchmailController.selectionModel()->clearSelection();
    ui()->testFetchmailButton->click();
    EXPECT_EQ(Alerts::beepCount(), beeps + 1);
    EXPECT_EQ(fake.countCalls("fetchmail --check"), 0);
}

TEST_F(AccountCheckTest, DocumentsKeepTheAccountsWithoutTheAnswers)
{
    fake.answer("fetchmail --check", "fetchmail status: 1\\n");
    testRow(0);
    ASSERT_EQ(resultOf(window.get(), 0).toString(), "No mail waiting");
    QTemporaryDir folder;
    Alerts::setNextFileName(folder.filePath("Accounts.brvn"));
    window->saveDocument();
    QFile saved(folder.filePath("Accounts.brvn"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_TRUE(bytes.contains("pop.example.com"));
    EXPECT_FALSE(bytes.contains("checkResult"));
    EXPECT_FALSE(bytes.contains("No mail waiting"));
    // A new answer is no edit of the saved forms.
    testRow(0);
    EXPECT_FALSE(window->isWindowModified());
}
