// The Status tab in the real window over a fake system.
#include "WindowFixture.h"
#include "deliverability/DeliverabilityTab.h"
#include "status/StatusTab.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
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
    bool checkNow(const QString& queueListing = "sleep 0.3")
    {
        window->findChild<QAction*>("statusItem")->trigger();
        tab()->setQueueCommand({ "/bin/sh", "-c", queueListing });
        child<QPushButton>("checkNowButton")->click();
        // The window answers while the checks run.
        EXPECT_TRUE(tab()->isChecking());
        EXPECT_FALSE(child<QPushButton>("checkNowButton")->isEnabled());
        EXPECT_TRUE(child<QProgressBar>("statusProgress")->isVisible());
        // The button comes back when the rows are shown, not only when the checks end.
        const bool shown = waitFor(
            [this] { return child<QPushButton>("checkNowButton")->isEnabled() && !tab()->outcomes().isEmpty(); });
        EXPECT_FALSE(child<QProgressBar>("statusProgress")->isVisible());
        return shown;
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
    ASSERT_TRUE(checkNow());
    EXPECT_TRUE(cell(5, 2).startsWith("The vantage point is not usable")) << cell(5, 2).toStdString();
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
    alert->done(0);

    fake.reanswer("BrevaneStuff on", "STATUS JOB ON\\n");
    box->click();
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(fake.calls().join('\n').contains("\"queueLimit\":")) << fake.calls().join('\n').toStdString();
    // Edits reach the running job once typing pauses, and only what changed.
    fake.answer("BrevaneStuff settings", "STATUS JOB SETTINGS\\n");
    QTest::keyClicks(window->findChild<QLineEdit*>("vantageField"), "ip netns exec outside");
    ASSERT_TRUE(waitFor([this] { return fake.countCalls("BrevaneStuff settings") == 1; }));
    EXPECT_TRUE(fake.calls().join('\n').contains("\"vantage\":\"ip netns exec outside\""));
    ASSERT_TRUE(checkNow());
    EXPECT_EQ(fake.countCalls("BrevaneStuff settings"), 1);
    fake.answer("BrevaneStuff off", "STATUS JOB OFF\\n");
    box->click();
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(fake.countCalls("BrevaneStuff off"), 1);
}

TEST_F(StatusTest, EachMailDomainIsARowOfItsDnsAndTheQueueLimitIsTheAdministrators)
{
    window->applicationDidFinishLaunching();
    ui()->mydomainField->setText("good.example");
    ui()->virtualDomainsField->setText("bare.example");
    window->findChild<QLineEdit*>("publicAddressField")->setText("192.0.2.25");
    const auto at = [](dns::RecordType type, const QString& name) { return QString::number(int(type)) + name; };
    const auto found = [](const QString& value) { return dns::Answer { dns::Outcome::Found, { value } }; };
    const QMap<QString, dns::Answer> zone { { at(dns::RecordType::MX, "good.example"), found("10 mx.good.example") },
        { at(dns::RecordType::A, "mx.good.example"), found("192.0.2.25") },
        { at(dns::RecordType::TXT, "good.example"), found("v=spf1 ip4:192.0.2.25 -all") },
        { at(dns::RecordType::TXT, "_dmarc.good.example"), found("v=DMARC1; p=reject") },
        { at(dns::RecordType::PTR, "25.2.0.192.in-addr.arpa"), found("mx.good.example") },
        { at(dns::RecordType::TXT, "bare.example"), found("v=spf1 <img src=x> -all") } };
    tab()->setDnsLookup(
        [zone, at](const QString& name, dns::RecordType type) { return zone.value(at(type, name), dns::Answer {}); });
    child<QSpinBox>("queueLimitBox")->setValue(10);
    // Twelve active messages, over the limit of ten.
    ASSERT_TRUE(checkNow(R"(for i in $(seq 10 21); do echo '{"queue_name": "active", "queue_id": "E2E92'$i'", )"
                         R"("arrival_time": 1, "message_size": 9, "sender": "a@b.example", )"
                         R"("recipients": [{"address": "c@d.example"}]}'; done)"));

    // Services, certificates, queue, space, a DNS row a domain, then the three from outside.
    ASSERT_EQ(child<QTableWidget>("statusChecksTable")->rowCount(), 9);
    EXPECT_EQ(cell(2, 1), "Failing") << cell(2, 2).toStdString();
    EXPECT_EQ(cell(2, 3), "Fewer than 10 messages; no deferred message older than 4 h.");
    // Signing is off before login: unsigned mail is only a warning.
    EXPECT_EQ(cell(4, 0), "DNS of good.example");
    EXPECT_EQ(cell(4, 1), "Warning");
    EXPECT_TRUE(cell(4, 2).startsWith("DKIM: ")) << cell(4, 2).toStdString();
    EXPECT_EQ(cell(5, 0), "DNS of bare.example");
    EXPECT_EQ(cell(5, 1), "Failing");
    EXPECT_TRUE(cell(5, 4).startsWith("Publish bare.example. IN MX 10 mail.bare.example.")) << cell(5, 4).toStdString();
    // Anyone's TXT record, shown as the characters it is.
    const QString tip = child<QTableWidget>("statusChecksTable")->item(5, 2)->toolTip();
    EXPECT_TRUE(cell(5, 2).contains("<img src=x>")) << cell(5, 2).toStdString();
    EXPECT_FALSE(tip.contains("<img")) << tip.toStdString();
    // The limit outlives the window.
    EXPECT_EQ(StatusTab().findChild<QSpinBox*>("queueLimitBox")->value(), 10);
}

TEST_F(StatusTest, LeavingTheTabNeitherStopsTheCheckNorIsUndoneByIt)
{
    window->applicationDidFinishLaunching();
    bool answered = false;
    QTimer::singleShot(100, [this, &answered] {
        window->findChild<QAction*>("deliverabilityItem")->trigger();
        answered = tab()->isChecking();
    });
    ASSERT_TRUE(checkNow());
    EXPECT_TRUE(answered);
    EXPECT_EQ(ui()->tabView->currentWidget(), static_cast<QWidget*>(window->deliverabilityTab()));
}

// The half-hourly run can come due while a privileged run waits for its
// output: its probes would be refused and read as services down.
TEST_F(StatusTest, ARunDueDuringAPrivilegedRunWaitsForIt)
{
    launchAndLogIn();
    bool checkingDuringTheRun = true;
    QTimer::singleShot(0, window.get(), [this] { window->checkStatus(); });
    QTimer::singleShot(0, window.get(), [this, &checkingDuringTheRun] { checkingDuringTheRun = tab()->isChecking(); });
    window->runShell("/bin/echo busy");
    EXPECT_FALSE(checkingDuringTheRun);
    EXPECT_FALSE(tab()->isChecking());
    EXPECT_TRUE(tab()->outcomes().isEmpty());
}
