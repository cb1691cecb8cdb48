// The Status tab in the real window over a fake system.
#include "WindowFixture.h"
#include "status/StatusTab.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QPushButton>
#include <QTableWidget>

using namespace brevane;

namespace {

class StatusTest : public WindowTest {
protected:
    StatusTab* tab() const { return window->statusTab(); }
    template <typename T> T* child(const char* name) const { return tab()->findChild<T*>(QString::fromLatin1(name)); }

    QString cell(int row, int column) const
    {
        const QTableWidgetItem* item = child<QTableWidget>("statusChecksTable")->item(row, column);
        return item ? item->text() : QString();
    }

    /// Opens the tab and presses Check Now; true once the rows are shown.
    bool checkNow()
    {
        window->findChild<QAction*>("statusItem")->trigger();
        tab()->setQueueCommand({ "/bin/sh", "-c", "sleep 0.3" });
        child<QPushButton>("checkNowButton")->click();
        // The window answers while the checks run.
        EXPECT_TRUE(tab()->isChecking());
        EXPECT_FALSE(child<QPushButton>("checkNowButton")->isEnabled());
        return waitFor([this] { return !tab()->isChecking() && !tab()->outcomes().isEmpty(); });
    }
};

} // namespace

TEST_F(StatusTest, BeforeLoginNothingRunsAsRootAndTheRowsSaySo)
{
    window->applicationDidFinishLaunching();
    fake.clearCalls();
    ASSERT_TRUE(checkNow());
    EXPECT_EQ(ui()->tabView->currentWidget(), tab());
    EXPECT_TRUE(fake.calls().isEmpty()) << fake.calls().join('\n').toStdString();
    // The four checks of this machine, port 25 and the relay from outside, the block lists.
    EXPECT_EQ(child<QTableWidget>("statusChecksTable")->rowCount(), 7);
    EXPECT_EQ(cell(4, 0), "Port 25 (SMTP) from outside");
    EXPECT_EQ(cell(4, 1), "Warning");
    EXPECT_TRUE(cell(4, 4).startsWith("Set a vantage point on the Status tab")) << cell(4, 4).toStdString();
    EXPECT_EQ(cell(0, 0), "Services");
    EXPECT_EQ(cell(0, 1), "Warning");
    EXPECT_EQ(cell(0, 4), "Log in, then check again.");
    EXPECT_EQ(cell(2, 0), "Mail queue");
    EXPECT_EQ(cell(2, 1), "OK");
    EXPECT_TRUE(child<QPushButton>("checkNowButton")->isEnabled());
}

TEST_F(StatusTest, APostfixThatIsLoadedButDownIsRedWithItsLastLogLine)
{
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\nDOWN\\npostfix/master: fatal: bind 0.0.0.0 port 25\\n");
    launchAndLogIn();
    ASSERT_TRUE(checkNow());
    EXPECT_EQ(cell(0, 1), "Failing");
    EXPECT_EQ(cell(0, 2),
        "Postfix started but not working (postfix/master: fatal: bind 0.0.0.0 port 25); "
        "fetchmail not in use.");
    EXPECT_EQ(child<QTableWidget>("statusChecksTable")->item(0, 1)->background().color(), QColor(0xf6, 0xc4, 0xc4));
    // This machine has no certificates in /System/Library/OpenSSL/certs.
    EXPECT_EQ(cell(1, 2), "No certificate is installed.");
    EXPECT_TRUE(child<QLabel>("statusSummaryLabel")->text().contains("failing"));
}

TEST_F(StatusTest, AVantageThatWouldRunACommandIsKeptAsTypedNamedAndNotRun)
{
    window->applicationDidFinishLaunching();
    const QString typed = "ssh -o ProxyCommand=touch/tmp/x you@other.example";
    child<QLineEdit>("vantageField")->setText(typed);
    EXPECT_EQ(QSettings().value("status/vantage").toString(), typed);
    EXPECT_TRUE(child<QLabel>("outsideSettingsMessage")->text().contains("ProxyCommand"));
    fake.clearCalls();
    ASSERT_TRUE(checkNow());
    EXPECT_TRUE(cell(5, 2).startsWith("The vantage point is not usable")) << cell(5, 2).toStdString();
    EXPECT_TRUE(fake.calls().isEmpty());
}

TEST_F(StatusTest, TheWatchJobsResultShowsUntilCheckNowAndTheBoxNeedsLogin)
{
    window->applicationDidFinishLaunching();
    auto* summary = child<QLabel>("statusSummaryLabel");
    tab()->showWatchResult(status::readJobState("{\"checkedAt\": 1, \"checks\": [7]}"));
    EXPECT_EQ(summary->text(), "The watch job's state file is damaged (check 1 unreadable).");
    status::JobState state { 1'800'000'000,
        { { { "queue", "Mail queue", { status::State::Red, "old", "young", "flush" } }, {} } } };
    tab()->showWatchResult({ state, {} });
    EXPECT_TRUE(summary->text().startsWith("Checked by the watch job at 2027-01-15 ")) << summary->text().toStdString();
    EXPECT_EQ(cell(0, 1), "Failing");
    EXPECT_EQ(cell(0, 4), "flush");

    ASSERT_TRUE(checkNow());
    ASSERT_TRUE(waitFor([summary] { return summary->text().contains("(checked at "); }));
    tab()->showWatchResult({ state, {} });
    EXPECT_FALSE(summary->text().startsWith("Checked by the watch job")) << summary->text().toStdString();

    fake.clearCalls();
    auto* box = child<QCheckBox>("watchJobBox");
    box->click();
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(fake.calls().isEmpty()) << fake.calls().join('\n').toStdString();
}

// The box stays ticked only when the helper's script says the job changed.
TEST_F(StatusTest, TheWatchBoxRunsTheInstallScriptAndShowsWhyItFailed)
{
    fake.answer("BrevaneStuff on", "REFUSED : no brevane-status program beside the helper\\n");
    launchAndLogIn();
    auto* box = child<QCheckBox>("watchJobBox");
    box->click();
    EXPECT_EQ(fake.countCalls("BrevaneStuff on"), 1) << fake.calls().join('\n').toStdString();
    EXPECT_FALSE(box->isChecked());
    QMessageBox* alert = window->findChild<QMessageBox*>();
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->informativeText().contains("no brevane-status program"))
        << alert->informativeText().toStdString();
    for (QMessageBox* answer : window->findChildren<QMessageBox*>())
        answer->done(0);

    fake.reanswer("BrevaneStuff on", "STATUS JOB ON\\n");
    box->click();
    EXPECT_TRUE(box->isChecked());
    fake.answer("BrevaneStuff off", "STATUS JOB OFF\\n");
    box->click();
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(fake.countCalls("BrevaneStuff off"), 1);
}
