#include "WindowFixture.h"

#include "maintenance/MailLogPanel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

namespace {

// The captured Postfix lines, stamped a minute ago so they fall in the
// summary's last 24 hours whenever the test runs.
QByteArray recentLog()
{
    QFile file(QStringLiteral(WIDGET_TEST_DATA "/maintenance/data/mail.log-captured.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stamp = QLocale::c().toString(QDateTime::currentDateTime().addSecs(-60), "MMM dd HH:mm:ss").toLatin1();
    QByteArray log;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.size() > 15)
            log += stamp + line.mid(15) + '\n';
    }
    return log;
}

class LogWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        panel = window->findChild<MailLogPanel*>("mailLogPanel");
        ASSERT_NE(panel, nullptr);
        current = dir.filePath("mail.log");
        panel->setLogPaths(current, dir.filePath("mail.log.1"));
        write(recentLog(), QIODevice::WriteOnly);
    }
    void write(const QByteArray& bytes, QIODevice::OpenMode mode)
    {
        QFile file(current);
        ASSERT_TRUE(file.open(mode));
        file.write(bytes);
    }
    QString shown() const { return ui()->logField->toPlainText(); }
    void openTab()
    {
        window->selectTabViewItem(ui()->mailLogItem);
        ASSERT_TRUE(waitFor([&] { return panel->hasMailLog(); }));
    }

    QTemporaryDir dir;
    QString current;
    MailLogPanel* panel = nullptr;
};

} // namespace

TEST_F(LogWindowTest, TheTabOpensWithTheLogNewestFirstAndItsSummary)
{
    launchAndLogIn();
    openTab();
    const QString text = shown();
    EXPECT_TRUE(text.startsWith("This is the contents of the Mail Log at /var/log/mail.log, latest entries listed "
                                "first.\n\nThe current Postfix version is "));
    const qsizetype firstLine = text.indexOf("probe postfix/");
    EXPECT_TRUE(text.mid(firstLine).startsWith("probe postfix/postfix-script[207]: stopping the Postfix mail system"));
    EXPECT_TRUE(panel->summaryLabel()->text().startsWith(
        "Last 24 hours: 4 received, 2 delivered, 1 deferred, 1 bounced, 3 rejected, 1 failed SMTP logins\n"
        "Top reject reasons: "));
    EXPECT_EQ(ui()->logField->lineWrapMode(), QPlainTextEdit::WidgetWidth);
}

TEST_F(LogWindowTest, SearchFiltersAndAQueueIdShowsTheMessagesLife)
{
    launchAndLogIn();
    openTab();
    struct Case {
        const char* typed;
        const char* heading;
        int lines;
    };
    for (const Case c : {Case{"Relay access", "1 line(s) hold \"Relay access\"", 1},
                         Case{"20ADF68", "Every line of message 20ADF68, oldest first:", 6},
                         Case{"no such thing", "0 line(s) hold", 0}}) {
        panel->searchField()->setText(c.typed);
        EXPECT_TRUE(waitFor([&] { return shown().contains(c.heading); })) << c.typed;
        const QString body = shown().mid(shown().indexOf(c.heading));
        EXPECT_EQ(body.count(u'\n') - 2, c.lines) << c.typed;
    }
}

TEST_F(LogWindowTest, ClickingAQueueIdShowsEveryLineOfThatMessage)
{
    launchAndLogIn();
    openTab();
    QTextCursor cursor = ui()->logField->document()->find("D15D46F: to=<joe@closed.example>");
    ASSERT_FALSE(cursor.isNull());
    cursor.setPosition(cursor.selectionStart() + 2);
    const QPoint at = ui()->logField->cursorRect(cursor).center();
    QTest::mouseClick(ui()->logField->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(panel->searchField()->text(), "D15D46F");
    EXPECT_TRUE(shown().contains("Every line of message D15D46F, oldest first:\n\n"));
    EXPECT_TRUE(shown().contains("status=deferred"));
}

TEST_F(LogWindowTest, FollowAddsNewLinesAndCounts)
{
    launchAndLogIn();
    openTab();
    panel->followToggle()->setChecked(true);
    const QByteArray stamp
        = QLocale::c().toString(QDateTime::currentDateTime(), "MMM dd HH:mm:ss").toLatin1();
    // Written in two parts, as a log writer may be caught mid-line.
    write(stamp + " probe postfix/cleanup[172]: ABCDE12: mess", QIODevice::Append);
    QTest::qWait(1200);
    write("age-id=<new@probe>\n", QIODevice::Append);
    EXPECT_TRUE(waitFor([&] { return shown().contains("ABCDE12: message-id=<new@probe>"); }));
    EXPECT_TRUE(panel->summaryLabel()->text().startsWith("Last 24 hours: 5 received"));
    panel->followToggle()->setChecked(false);
}

TEST_F(LogWindowTest, OtherLogsShowWholeAndTheSearchFiltersThem)
{
    launchAndLogIn();
    openTab();
    window->showLog(ui()->fetchmailLogButton);
    EXPECT_TRUE(shown().startsWith("This is the contents of the Fetchmail Log at /var/log/fetchmail.log"));
    panel->searchField()->setText("Fetchmail Log");
    EXPECT_TRUE(waitFor([&] { return shown().count(u'\n') == 0 && shown().contains("Fetchmail Log"); }));
}

// Before, the tab stayed blank until a log button was pressed.
TEST_F(WindowTest, TheMailLogTabIsNotBlankWhenOpened)
{
    launchAndLogIn();
    ui()->outgoingItem->trigger();
    ui()->mailLogItem->trigger();
    EXPECT_TRUE(waitFor([&] { return ui()->logField->toPlainText().startsWith("This is the contents of the Mail Log"); }));
}

// Where the user may not read the log, it comes through the root runner in
// base64 pieces; only the fixed path and the offsets reach the helper.
TEST_F(LogWindowTest, AnUnreadableLogIsReadThroughTheRunner)
{
    if (QFileInfo("/var/log/mail.log").isReadable())
        GTEST_SKIP() << "this machine's mail log is readable: the runner is not asked";
    const QByteArray log = recentLog();
    fake.answer("/var/log/mail.log 0 4194304",
                QString::number(log.size()) + "\\n" + QString::fromLatin1(log.toBase64()) + "\\n");
    fake.answer("/var/log/mail.log " + QString::number(log.size()) + " ", QString::number(log.size()) + "\\n\\n");
    fake.answer("/var/log/mail.log.1 ", "-1\\n");
    panel->setLogPaths("/var/log/mail.log", "/var/log/mail.log.1");
    launchAndLogIn();
    panel->searchField()->setText("$(touch /tmp/brevane-typed); `id`");
    openTab();
    EXPECT_TRUE(panel->summaryLabel()->text().startsWith("Last 24 hours: 4 received, 2 delivered"));
    EXPECT_TRUE(shown().contains("0 line(s) hold"));
    EXPECT_EQ(fake.countCalls("brevane-typed"), 0);
    EXPECT_EQ(fake.countCalls("read-log-chunk") + fake.countCalls("base64 -w0"), 3);
}
