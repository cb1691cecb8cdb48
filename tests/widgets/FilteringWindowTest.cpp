// The Filtering tab in the real window over a fake system.
#include "WindowFixture.h"
#include "document/SettingsDocument.h"
#include "filtering/FilteringTab.h"
#include "shell/StatusLight.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace brevane;

namespace {

const QString script = QStringLiteral("# Sets up spam and virus filtering");
// What "show" prints once filtering is installed, virus scanning with it.
const QString installed = QStringLiteral("JOB redis\\nJOB rspamd\\nJOB clamd\\n--- actions.conf\\nreject = 12;\\n"
                                         "add_header = 5;\\n--- greylist.conf\\nenabled = false;\\n"
                                         "--- antivirus.conf\\nclamav {\\n");

class FilteringTest : public WindowTest {
protected:
    FilteringTab* tab() const { return window->filteringTab(); }
    template <typename T> T* child(const char* name) const { return tab()->findChild<T*>(QString::fromLatin1(name)); }
};

} // namespace

TEST_F(FilteringTest, ApplyInstallsReadsBackAndNamesTheMilterToPostfix)
{
    launchAndLogIn();
    window->findChild<QAction*>("filteringItem")->trigger();
    EXPECT_EQ(ui()->tabView->currentWidget(), tab());
    auto* light = window->findChild<StatusLight*>("filtering_light");
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->imageName(), "red");

    // A refused score: an alert, and nothing run as root.
    child<QCheckBox>("spamFilteringBox")->setChecked(true);
    child<QLineEdit>("spamRejectScoreField")->setText("4");
    fake.clearCalls();
    Alerts::resetRecord();
    child<QPushButton>("applyFilteringButton")->click();
    EXPECT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(fake.countCalls(script), 0);

    child<QLineEdit>("spamHeaderScoreField")->setText("5");
    child<QLineEdit>("spamRejectScoreField")->setText("12");
    child<QCheckBox>("greylistingBox")->setChecked(false);
    fake.answer(" show yes", installed);
    fake.answer(script, "Filtering on\\n");
    fake.clearCalls();
    child<QPushButton>("applyFilteringButton")->click();
    const QStringList calls = fake.calls();
    EXPECT_EQ(fake.countCalls(" on yes actions.conf"), 1) << calls.join('\n').toStdString();
    EXPECT_EQ(fake.countCalls("reject = 12; add_header = 5; greylist = null;"), 1);
    // The configuration script's 25th value turns the milter on.
    EXPECT_EQ(fake.countCalls("unix:/usr/local/tarnwick/rspamd/run/milter.sock"), 1);
    EXPECT_EQ(tab()->settings(), (filtering::FilteringSettings { true, "5", "12", false, true }));
    // Nothing answers on the milter port here.
    EXPECT_EQ(light->imageName(), "red");
    EXPECT_TRUE(light->toolTip().contains("rspamd does not answer")) << light->toolTip().toStdString();
}

TEST_F(FilteringTest, DocumentsCarryTheSettingsAndTheJobsFollowPostfix)
{
    launchAndLogIn();
    QTemporaryDir dir;
    tab()->setSettings({ true, "7.5", "20", false, true });
    Alerts::setNextFileName(dir.filePath("f.brvn"));
    window->saveDocument();
    WindowController other;
    ASSERT_TRUE(other.openFile(dir.filePath("f.brvn")));
    EXPECT_EQ(other.filteringTab()->settings(), (filtering::FilteringSettings { true, "7.5", "20", false, true }));

    // Someone else's document: a score that is no number reaches no script.
    QFile file(dir.filePath("hostile.brvn"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(document::encode({ { "spamFiltering", 1 }, { "spamHeaderScore", "6;\n.include \"/tmp/x\"" } }));
    file.close();
    ASSERT_TRUE(window->openFile(file.fileName()));
    fake.clearCalls();
    Alerts::resetRecord();
    child<QPushButton>("applyFilteringButton")->click();
    EXPECT_EQ(Alerts::shown().size(), 1);
    EXPECT_EQ(fake.countCalls(script), 0);

    // Installed filtering starts and stops with Postfix, redis first, then
    // rspamd, and Dovecot's delivery last.
    auto* learn = window->findChild<QPushButton*>("learnSpamButton");
    ASSERT_NE(learn, nullptr);
    EXPECT_FALSE(learn->isEnabled()); // nothing installed to learn with
    fake.answer(" show yes", installed);
    window->reloadData();
    EXPECT_TRUE(learn->isEnabled());
    EXPECT_TRUE(window->findChild<QPushButton*>("learnHamButton")->isEnabled());
    fake.answer("check-postfix: ", "check-postfix: result up\\n");
    for (const char* label : { "Start Postfix", "Stop Postfix" }) {
        fake.clearCalls();
        ui()->postfixItem->setText(label);
        window->Postfix(ui()->postfixItem);
        QStringList ours;
        for (const QString& call : fake.calls())
            if (call.contains("redis.plist") || call.contains("clamd.plist") || call.contains("rspamd.plist")
                || call.contains("lmtp.plist"))
                ours << call;
        const QStringList unloads = ours.filter("unload -w");
        ASSERT_EQ(unloads.size(), 4) << ours.join('\n').toStdString();
        EXPECT_TRUE(unloads.first().contains("lmtp.plist")) << label;
        EXPECT_TRUE(unloads.last().contains("redis.plist")) << label;
        const QStringList loads = ours.filter("launchctl load -w");
        if (QString(label) == "Stop Postfix") {
            EXPECT_TRUE(loads.isEmpty()) << loads.join('\n').toStdString();
        } else {
            ASSERT_EQ(loads.size(), 4) << ours.join('\n').toStdString();
            EXPECT_TRUE(loads.first().contains("redis.plist"));
            EXPECT_TRUE(loads.last().contains("lmtp.plist"));
        }
    }
}
