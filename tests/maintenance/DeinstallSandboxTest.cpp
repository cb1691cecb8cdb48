#include "SandboxSupport.h"
#include "maintenance/Deinstallation.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace brevane;

namespace {

const QStringList services {"postfix", "fetchmail", "uw_imap", "uw_imaps", "uw_pop3", "uw_pop3s"};
const QString callLog = "/var/log/launchctl-calls";
const QString loadedJobs = "/var/run/launchctl-loaded";

// Stands in for the platform's launchctl: lists the jobs named in a state
// file the way launchd does (PID, status, label), and records every call.
void installLaunchctlStandIn(const QStringList& loaded)
{
    sandbox::writeFile("/bin/launchctl",
                       "#!/bin/sh\n"
                       "echo \"$*\" >> " + callLog.toUtf8() + "\n"
                       "state=" + loadedJobs.toUtf8() + "\n"
                       "case $1 in\n"
                       "  list) echo 'PID\tStatus\tLabel'; awk '{print NR+100 \"\\t0\\t\" $0}' $state ;;\n"
                       "  unload) label=$(basename \"$3\" .plist); grep -vx \"$label\" $state > $state.new;"
                       " mv $state.new $state ;;\n"
                       "esac\n",
                       0755);
    QByteArray labels;
    for (const QString& service : loaded)
        labels += "com.dadarozudedarid." + service.toUtf8() + "\n";
    sandbox::writeFile(loadedJobs, labels);
    QFile::remove(callLog);
}

// What the installation leaves: the server tree, its property lists linked
// into /Library/LaunchDaemons, next to a job that is not ours.
void installServerTree()
{
    const QString jobs = "/usr/local/tarnwick/postfix/LaunchDaemons";
    for (const QString& service : services) {
        const QString plist = "com.dadarozudedarid." + service + ".plist";
        sandbox::writeFile(jobs + "/" + plist, "<plist/>\n");
        QDir().mkpath("/Library/LaunchDaemons");
        QFile::link(jobs + "/" + plist, "/Library/LaunchDaemons/" + plist);
    }
    sandbox::writeFile("/usr/local/tarnwick/postfix/etc/main.cf", "myhostname = probe.local\n");
    sandbox::writeFile("/Library/LaunchDaemons/org.other.job.plist", "<plist/>\n");
}

QStringList launchctlCalls()
{
    QFile file(callLog);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QStringList unloads()
{
    QStringList result;
    for (const QString& call : launchctlCalls()) {
        if (call.startsWith("unload"))
            result.append(call);
    }
    return result;
}

QString unloadOf(const QString& service)
{
    return "unload -w /Library/LaunchDaemons/com.dadarozudedarid." + service + ".plist";
}

} // namespace

class DeinstallSandbox : public testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_OUTSIDE_SANDBOX();
        installServerTree();
        // Both the plain and the SSL daemons loaded: their labels share a prefix.
        installLaunchctlStandIn({"postfix", "uw_imap", "uw_imaps", "uw_pop3"});
    }
};

TEST_F(DeinstallSandbox, UnloadsLoadedJobsAndRemovesEveryFile)
{
    sandbox::run(deinstallCommand());

    EXPECT_EQ(unloads(), (QStringList {unloadOf("postfix"), unloadOf("uw_imap"), unloadOf("uw_imaps"),
                                       unloadOf("uw_pop3")}));
    EXPECT_EQ(launchctlCalls().count("list"), services.size());
    for (const QString& service : services)
        EXPECT_FALSE(QFileInfo::exists("/Library/LaunchDaemons/com.dadarozudedarid." + service + ".plist"))
            << service.toStdString();
    EXPECT_FALSE(QFileInfo::exists("/usr/local/tarnwick/postfix"));
    EXPECT_TRUE(QFileInfo::exists("/Library/LaunchDaemons/org.other.job.plist"));
}

TEST_F(DeinstallSandbox, ScriptMatchingLabelsByPrefixLeavesPlainDaemonsLoaded)
{
    // The script as first written: "uw_imap" also matches "uw_imaps", `test`
    // gets two words and fails, and the plain daemon keeps running.
    QStringList command = deinstallCommand();
    command[2].replace("grep -w ", "grep ");
    sandbox::run(command);

    EXPECT_FALSE(unloads().contains(unloadOf("uw_imap")));
    EXPECT_TRUE(unloads().contains(unloadOf("uw_imaps")));
    // uw_pop3s is not loaded, so uw_pop3's label stands alone and works.
    EXPECT_TRUE(unloads().contains(unloadOf("uw_pop3")));
}

TEST_F(DeinstallSandbox, NothingLoadedStillRemovesTheFiles)
{
    installLaunchctlStandIn({});
    sandbox::run(deinstallCommand());
    EXPECT_TRUE(unloads().isEmpty());
    EXPECT_FALSE(QFileInfo::exists("/Library/LaunchDaemons/com.dadarozudedarid.postfix.plist"));
    EXPECT_FALSE(QFileInfo::exists("/usr/local/tarnwick/postfix"));
}

TEST_F(DeinstallSandbox, TheSignerAndTheRenewalGoFirstAndLeaveOtherJobs)
{
    for (const QString& job : {QStringLiteral("opendkim"), QStringLiteral("certbot")}) {
        const QString plist = "com.dadarozudedarid." + job + ".plist";
        sandbox::writeFile("/usr/local/tarnwick/postfix/LaunchDaemons/" + plist, "<plist/>\n");
        QFile::link("/usr/local/tarnwick/postfix/LaunchDaemons/" + plist, "/Library/LaunchDaemons/" + plist);
    }
    sandbox::writeFile("/usr/local/tarnwick/opendkim/keys/example.test/brevane.private", "key\n");
    sandbox::writeFile("/var/lib/brevane/last-good/main.cf", "myhostname = probe.local\n");
    sandbox::writeFile("/var/spool/postfix/brevane-opendkim/opendkim.sock", "");
    installLaunchctlStandIn({"opendkim", "certbot", "postfix"});

    sandbox::run(deinstallAdditionsCommand());

    EXPECT_EQ(unloads(), (QStringList {unloadOf("opendkim"), unloadOf("certbot")}));
    EXPECT_FALSE(QFileInfo(QStringLiteral("/Library/LaunchDaemons/com.dadarozudedarid.opendkim.plist")).isSymLink());
    EXPECT_FALSE(QFileInfo(QStringLiteral("/Library/LaunchDaemons/com.dadarozudedarid.certbot.plist")).isSymLink());
    EXPECT_FALSE(QFileInfo::exists("/usr/local/tarnwick/opendkim"));
    EXPECT_FALSE(QFileInfo::exists("/var/lib/brevane"));
    EXPECT_FALSE(QFileInfo::exists("/var/spool/postfix/brevane-opendkim"));
    EXPECT_TRUE(QFileInfo::exists("/Library/LaunchDaemons/com.dadarozudedarid.postfix.plist"));
    EXPECT_TRUE(QFileInfo::exists("/Library/LaunchDaemons/org.other.job.plist"));
}
