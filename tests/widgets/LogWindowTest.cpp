#include "WindowFixture.h"

#include "filtering/RspamdLog.h"
#include "maintenance/MailLogPanel.h"
#include "maintenance/ShellCommand.h"
#include "maintenance/TrafficChart.h"

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
QByteArray recentLog(const char* captured = "mail.log-captured.txt")
{
    QFile file(QStringLiteral(WIDGET_TEST_DATA "/maintenance/data/") + QLatin1String(captured));
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
    // A blocklist's own text is the remote side's: it shows as it is written.
    const QByteArray stamp = QLocale::c().toString(QDateTime::currentDateTime(), "MMM dd HH:mm:ss").toLatin1();
    write(stamp + " probe postfix/smtpd[9]: NOQUEUE: reject: RCPT from unknown[192.0.2.1]: 554 5.7.1 "
                  "<b><font size=7>URGENT</font></b>; from=<a@b.example> to=<c@probe.local> proto=ESMTP helo=<x>\n",
          QIODevice::Append);
    launchAndLogIn();
    openTab();
    const QString text = shown();
    EXPECT_TRUE(text.startsWith("This is the contents of the Mail Log at /var/log/mail.log, latest entries listed "
                                "first.\n\nThe current Postfix version is "));
    const qsizetype firstLine = text.indexOf("probe postfix/");
    EXPECT_TRUE(text.mid(firstLine).startsWith("probe postfix/smtpd[9]: NOQUEUE: reject: RCPT from unknown[192.0.2.1]"));
    const QString dovecot = brevane::doShellCommand("/usr/sbin/dovecot --version").trimmed();
    EXPECT_TRUE(text.contains("\nThe current Dovecot version is " + (dovecot.isEmpty() ? "not installed" : dovecot)
                              + "\n\n"));
    EXPECT_FALSE(text.contains("UW/IMAP"));
    const QString summary = panel->summaryLabel()->text();
    EXPECT_TRUE(summary.startsWith("Last 24 hours, since ")) << summary.toStdString();
    EXPECT_TRUE(summary.contains("\nMessages: 4 received, 2 delivered, 1 deferred, 1 bounced or expired\n"
                                 "Deferred delivery attempts: 1, refusals: 4, failed SMTP logins: 1\n"
                                 "Top reject reasons: "))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains("<b><font size=7>URGENT</font></b> (1)"));
    EXPECT_EQ(panel->summaryLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(TrafficChart::legend(), (QStringList{"messages delivered", "deferred or bounced", "refusals"}));
    EXPECT_EQ(panel->chart()->scaleTop(), 8); // 2 delivered + 1 deferred + 1 bounced + 4 refused, in one hour
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

// Every line that names a queue ID follows it when the ID is clicked: the
// client= and to= lines too, and the requeued and bounce-notice IDs.
TEST_F(LogWindowTest, EveryQueueIdInTheLogIsClickable)
{
    write(recentLog("mail.log-hostile.txt"), QIODevice::Append);
    launchAndLogIn();
    openTab();
    struct Case {
        const char* line; // a text of the line that holds the ID
        const char* id;
        const char* shownLine; // a line of the message's life then shown
    };
    const Case cases[] = {
        {"D15D46F: client=localhost", "D15D46F", "status=deferred"},
        {"DEE7060: to=<alice@probe.local>", "DEE7060", "DEE7060: removed"},
        {"237F06C: to=<root@probe.local>", "237F06C", "sender non-delivery notification: 237F06C"},
        {"20ADF68: from=<root@probe.local>", "20ADF68", "uid=0 from=<root@probe.local>"},
        {"D96546A: client=localhost", "D96546A", "orig_id=D96546A"},
        {"orig_id=D96546A", "D96546A", "D96546A: to=<joe@closed.example>"},
        {"305C273: from=<bob@sender.example>, status=expired", "305C273", "305C273: removed"},
    };
    for (const Case& c : cases) {
        panel->searchField()->clear();
        ASSERT_TRUE(waitFor([&] { return !shown().contains("Every line of message"); }));
        QTextCursor cursor = ui()->logField->document()->find(c.line);
        ASSERT_FALSE(cursor.isNull()) << c.line;
        cursor.setPosition(cursor.selectionStart() + int(QByteArray(c.line).indexOf(c.id)) + 1);
        ui()->logField->setTextCursor(cursor);
        ui()->logField->ensureCursorVisible();
        const QPoint at = ui()->logField->cursorRect(cursor).center();
        QTest::mouseMove(ui()->logField->viewport(), at);
        EXPECT_EQ(ui()->logField->viewport()->cursor().shape(), Qt::PointingHandCursor) << c.line;
        QTest::mouseClick(ui()->logField->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(panel->searchField()->text(), c.id) << c.line;
        EXPECT_TRUE(shown().contains(QStringLiteral("Every line of message %1, oldest first:\n\n").arg(c.id))) << c.line;
        EXPECT_TRUE(shown().contains(c.shownLine)) << c.line;
    }
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
    EXPECT_TRUE(panel->summaryLabel()->text().contains("Messages: 5 received")) << panel->summaryLabel()->text().toStdString();
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
    EXPECT_TRUE(panel->summaryLabel()->text().contains("Messages: 4 received, 2 delivered"));
    EXPECT_TRUE(shown().contains("0 line(s) hold"));
    EXPECT_EQ(fake.countCalls("brevane-typed"), 0);
    EXPECT_EQ(fake.countCalls("read-log-chunk") + fake.countCalls("base64 -w0"), 3);
}

// A filtered message's life ends with what rspamd found, read from its log
// as the user or through the runner, where only the queue ID reaches root.
TEST_F(LogWindowTest, AMessagesLifeShowsTheSpamFiltersVerdict)
{
    QFile captured(QStringLiteral(WIDGET_TEST_DATA "/maintenance/data/rspamd.log-filtering.txt"));
    ASSERT_TRUE(captured.open(QIODevice::ReadOnly));
    const QByteArray rspamdLines = captured.readAll();
    write(recentLog("mail.log-filtering.txt"), QIODevice::WriteOnly);
    panel->setRspamdLogPath(QStringLiteral(WIDGET_TEST_DATA "/maintenance/data/rspamd.log-filtering.txt"));
    launchAndLogIn();
    openTab();
    panel->searchField()->setText("F2816CC");
    ASSERT_TRUE(waitFor([&] { return shown().contains("Every line of message F2816CC"); }));
    EXPECT_TRUE(shown().contains("F2816CC: removed\n"
                                 "\nWhat the spam filter found:\n"
                                 "rspamd 2026-12-09 16:56:39: add header, score 3.90 (reject at 15.00): "
                                 "MIME_BAD_EXTENSION 4.00, MIME_GOOD -0.10; also ARC_NA, "))
        << shown().toStdString();

    fake.answer("sh BADBF10C", QString::fromLatin1(rspamdLines.toBase64()) + "\\n");
    panel->setRspamdLogPath(QLatin1String(brevane::filtering::rspamdLogPath));
    panel->searchField()->setText("BADBF10C");
    ASSERT_TRUE(waitFor([&] { return shown().contains("Every line of message BADBF10C"); }));
    EXPECT_TRUE(shown().contains("add header, score 4.96 (reject at 15.00): BAYES_SPAM 5.06")) << shown().toStdString();
    EXPECT_EQ(fake.countCalls("read-rspamd") + fake.countCalls("rspamd_task_write_log"), 1);
    // Without rspamd's log, the message's lines alone.
    panel->searchField()->setText("79826E5");
    ASSERT_TRUE(waitFor([&] { return shown().contains("Every line of message 79826E5"); }));
    EXPECT_FALSE(shown().contains("spam filter"));
}
