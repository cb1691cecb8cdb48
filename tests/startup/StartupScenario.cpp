// The start-up checks against the real system, inside the sandbox
// (startup-scenario.sh): run as an administrator with the real helper.
#include "shell/Alerts.h"
#include "shell/WindowController.h"
#include "ui_LoginPanel.h"
#include "ui_MainWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QProcess>

namespace {

QString run(const QString& line)
{
    QProcess shell;
    shell.start("/bin/sh", {"-c", line});
    shell.waitForFinished(30000);
    return QString::fromUtf8(shell.readAllStandardOutput());
}

void logIn(WindowController& window)
{
    window.loginUi()->administratorField->setText(qEnvironmentVariable("SCENARIO_ADMIN"));
    window.loginUi()->savePasswordInKeychain->setChecked(false);
    window.applicationDidFinishLaunching();
    window.loginUi()->passwordField->setText(qEnvironmentVariable("SCENARIO_PASSWORD"));
    window.doLogin();
    ASSERT_FALSE(window.loginPanel()->isVisible()) << "the real administrator was refused";
}

} // namespace

TEST(FirstLaunch, InstallsUnloadsTheSystemPostfixAndListsUsers)
{
    ASSERT_FALSE(QFileInfo::exists("/usr/local/tarnwick/postfix"));
    ASSERT_TRUE(run("launchctl list").contains("org.postfix.master"));
    WindowController window;
    logIn(window);

    EXPECT_TRUE(QFileInfo::exists("/usr/local/tarnwick/postfix/etc/main.cf.default"));
    for (const char* service : {"postfix", "fetchmail", "uw_imap", "uw_imaps", "uw_pop3", "uw_pop3s"})
        EXPECT_TRUE(QFileInfo(QString("/Library/LaunchDaemons/com.dadarozudedarid.%1.plist").arg(service)).isSymLink())
            << service;
    EXPECT_TRUE(QFileInfo("/etc/pam.d/pop").isSymLink());
    EXPECT_TRUE(QFileInfo("/etc/pam.d/imap").isSymLink());
    // The system's own Postfix job was loaded and is gone; the absent UW jobs
    // were left alone without complaint.
    EXPECT_FALSE(run("launchctl list").contains("org.postfix.master"));

    QStringList offered;
    for (int i = 0; i < window.ui()->luser_relay_popup->count(); ++i)
        offered.append(window.ui()->luser_relay_popup->itemText(i));
    EXPECT_EQ(offered, (QStringList{"", "/dev/null", "alice", "bob"}));

    window.smartHostController.setRows({{{"location", "Office"}, {"smartHostName", "smtp.office.example"}},
                                        {{"location", "Home"}, {"smartHostName", "smtp.home.example"}}});
    window.applicationWillTerminate();
    EXPECT_TRUE(QFileInfo::exists("/usr/local/tarnwick/postfix/LaunchDaemons/.smartHosts"));
    // Relay passwords, written by the real helper: root's alone.
    EXPECT_EQ(run("stat -c %a /usr/local/tarnwick/postfix/LaunchDaemons/.smartHosts"), "600\n");
}

TEST(SecondLaunch, LeavesTheInstallationAloneAndReadsTheRelayHostsBack)
{
    // startup-scenario.sh removed one link the installation would make again.
    ASSERT_FALSE(QFileInfo::exists("/Library/LaunchDaemons/com.dadarozudedarid.uw_imap.plist"));
    WindowController window;
    logIn(window);
    EXPECT_FALSE(QFileInfo::exists("/Library/LaunchDaemons/com.dadarozudedarid.uw_imap.plist"));
    ASSERT_EQ(window.smartHostController.rowCount(), 2);
    EXPECT_EQ(window.smartHostController.arrangedObjects().at(0).value("location"), "Office");
    EXPECT_EQ(window.smartHostController.arrangedObjects().at(1).value("location"), "Home");
    EXPECT_EQ(window.smartHostController.selectionIndexes(), QList<int>{0});
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("brevane");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
