// Applying a configuration under the check, against the real launchctl,
// launcher and Postfix. Runs only as root inside tests/system/sandbox.sh,
// through check-system.sh, which installs Brevane and its server files.
#include "postfix/PostfixCheck.h"
#include "postfix/PostfixConfig.h"
#include "postfix/ServiceHealth.h"
#include "postfix/ServiceRules.h"
#include "SandboxPostfix.h"
#include "SandboxRun.h"
#include "shell/ResourcePaths.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace brevane;

namespace {

const QString configDir = sandbox::postfixConfigDir;
const QString resources = QStringLiteral("/opt/brevane/Resources");
const QStringList managed{"main.cf", "master.cf", "access", "access.db", "aliases", "aliases.db"};

QString runAsHelper(const QStringList& arguments)
{
    return sandbox::runAsHelper(arguments, resources);
}

QString shell(const QString& line)
{
    return runAsHelper({QStringLiteral("/bin/sh"), QStringLiteral("-c"), line});
}

// Every managed file's bytes, by name.
QMap<QString, QByteArray> configuration()
{
    QMap<QString, QByteArray> files;
    for (const QString& name : managed) {
        QFile file(configDir + '/' + name);
        files.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)"));
    }
    return files;
}

PostfixForm goodForm()
{
    PostfixForm f = sandbox::postfixForm(QStringLiteral("mail.brevane.test"));
    f.administrator = QStringLiteral("admin");
    f.access = QStringLiteral("spam.example REJECT");
    return f;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

const QString lastGoodMainCf = QStringLiteral("/var/lib/brevane/last-good/main.cf");

QStringList applyVector(const PostfixForm& form)
{
    return applyPostfixArguments(sandbox::postfixArguments(form), scriptText("check-postfix.sh"));
}

// Runs started together, as two administrators' windows would start them;
// their reports in the order given.
QStringList runTogether(const QList<QStringList>& vectors)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QStringList& vector : vectors) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->setWorkingDirectory(resources);
        processes.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        processes.back()->start(vector.first(), vector.mid(1));
    }
    QStringList reports;
    for (const auto& process : processes) {
        process->waitForFinished(-1);
        reports.append(QString::fromUtf8(process->readAllStandardOutput()));
    }
    return reports;
}

// A listener of another program on a port.
class PortHolder
{
public:
    explicit PortHolder(int port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(port));
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        m_bound = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(m_fd, 1) == 0;
    }
    ~PortHolder() { ::close(m_fd); }
    bool bound() const { return m_bound; }

private:
    int m_fd = -1;
    bool m_bound = false;
};

class PostfixCheckSystem : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!sandbox::active())
            GTEST_SKIP() << "needs root inside tests/system/sandbox.sh (check-system.sh)";
        // Every scenario starts from Postfix up on a good configuration.
        const PostfixCheckOutcome first = restart(goodForm());
        ASSERT_EQ(first.result, CheckResult::Up) << first.said.join('\n').toStdString();
        ASSERT_TRUE(services::isPortOpen(25));
    }

    // What "Restart Postfix" runs: the job unloaded, then the apply.
    static PostfixCheckOutcome restart(const PostfixForm& form)
    {
        const QStringList apply = applyVector(form);
        shell(services::unloadJob("postfix"));
        return parsePostfixCheck(runAsHelper(apply));
    }

    // A change Postfix must not go live on: the previous files are back byte
    // for byte, Postfix runs on them and answers on port 25, and the alert
    // quotes Postfix and names the field.
    void expectKeptPrevious(const PostfixForm& bad, CheckResult result, const QString& field, const QString& words)
    {
        const auto before = configuration();
        const PostfixCheckOutcome outcome = restart(bad);
        EXPECT_EQ(outcome.result, result) << outcome.said.join('\n').toStdString();
        EXPECT_EQ(outcome.previousUp, std::optional<bool>(true));
        EXPECT_EQ(configuration(), before);
        EXPECT_TRUE(services::isPortOpen(25));
        const auto health = services::postfixHealth(shell(services::postfixHealthProbe()), services::isPortOpen(25));
        EXPECT_TRUE(health.loaded && health.up) << health.why.toStdString();
        const auto alert = applyAlert(outcome, bad);
        ASSERT_TRUE(alert);
        EXPECT_TRUE(alert->message.startsWith("Postfix said:\n")) << alert->message.toStdString();
        EXPECT_TRUE(alert->message.contains(words)) << alert->message.toStdString();
        if (!field.isEmpty()) {
            EXPECT_TRUE(alert->message.contains("Look at the " + field + ". ")) << alert->message.toStdString();
        }
        EXPECT_TRUE(alert->message.endsWith("Brevane put the previous configuration back, and Postfix runs on it."))
            << alert->message.toStdString();
    }
};

} // namespace

TEST_F(PostfixCheckSystem, ACustomLineWithATypoLeavesThePreviousConfigurationRunning)
{
    PostfixForm bad = goodForm();
    bad.custom = QStringLiteral("message_size_limit = 1O240000");
    expectKeptPrevious(bad, CheckResult::Refused, "custom lines field",
                       "postfix: fatal: bad numerical configuration: message_size_limit = 1O240000");
}

TEST_F(PostfixCheckSystem, ACustomLinePostfixCannotReadIsRefusedInItsWords)
{
    const auto before = configuration();
    PostfixForm bad = goodForm();
    bad.custom = QStringLiteral("inet_interfaces = nowhere.invalid");
    const PostfixCheckOutcome outcome = restart(bad);
    EXPECT_EQ(outcome.result, CheckResult::Unchanged);
    EXPECT_EQ(configuration(), before);
    ASSERT_FALSE(outcome.said.isEmpty());
    EXPECT_TRUE(outcome.said.constFirst().contains("inet_interfaces")) << outcome.said.join('\n').toStdString();
    EXPECT_TRUE(outcome.said.constFirst().contains("nowhere.invalid"));
    shell(services::loadJob("postfix")); // as the window does after a refused restart
}

TEST_F(PostfixCheckSystem, AMapLinePostfixRefusesLeavesThePreviousMapsRunning)
{
    PostfixForm bad = goodForm();
    bad.access = QStringLiteral("spam.example REJECT\nlonely.example");
    expectKeptPrevious(bad, CheckResult::Refused, "access field",
                       "postmap: warning: /usr/local/tarnwick/postfix/etc/access, line 2: expected format: key "
                       "whitespace value");
}

TEST_F(PostfixCheckSystem, APortAlreadyInUseLeavesThePreviousConfigurationRunning)
{
    const PortHolder holder(2525);
    ASSERT_TRUE(holder.bound());
    PostfixForm bad = goodForm();
    bad.portNos = QStringLiteral("2525");
    expectKeptPrevious(bad, CheckResult::Down, "extra ports field", "2525");
    // Files Postfix did not come up on never become the last working ones.
    EXPECT_EQ(shell("cmp /var/lib/brevane/last-good/main.cf " + configDir + "/main.cf && echo SAME"), "SAME");
    EXPECT_EQ(shell("test -e /var/lib/brevane/last-good.new || echo GONE"), "GONE");
}

TEST_F(PostfixCheckSystem, AGoodChangeGoesLiveAndBecomesTheLastWorkingOne)
{
    PostfixForm good = goodForm();
    good.mydomain = QStringLiteral("other.brevane.test");
    good.portNos = QStringLiteral("2526");
    good.custom = QStringLiteral("mydomian = typo.example");
    const PostfixCheckOutcome outcome = restart(good);
    ASSERT_EQ(outcome.result, CheckResult::Up) << outcome.said.join('\n').toStdString();
    EXPECT_TRUE(services::isPortOpen(25));
    EXPECT_TRUE(services::isPortOpen(2526));
    EXPECT_TRUE(configuration().value("main.cf").contains("mydomain=other.brevane.test\n"));
    // An unknown parameter is shown, not fatal.
    const auto alert = applyAlert(outcome, good);
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->informational);
    EXPECT_TRUE(alert->message.contains("unused parameter: mydomian=typo.example")) << alert->message.toStdString();

    EXPECT_EQ(shell("cmp /var/lib/brevane/last-good/main.cf " + configDir + "/main.cf && echo SAME"), "SAME");
    // The configuration script's files keep the modes they always had.
    EXPECT_EQ(shell("stat -c %a " + configDir + "/main.cf " + configDir + "/access.db"), "644\n644");
    EXPECT_EQ(shell("stat -c %a /var/lib/brevane /var/lib/brevane/last-good"), "700\n700");
    const QString savedAt = runAsHelper(lastWorkingSavedArguments(scriptText("check-postfix.sh")));
    EXPECT_TRUE(savedAt.endsWith(" UTC")) << savedAt.toStdString();
}

TEST_F(PostfixCheckSystem, RestoreBringsBackTheLastWorkingConfiguration)
{
    const auto good = configuration();
    // Broken behind the window's back, and Postfix down with it.
    shell(services::unloadJob("postfix"));
    shell("printf 'inet_interfaces = nowhere.invalid\\n' >> " + configDir + "/main.cf");
    shell(services::loadJob("postfix"));
    const auto down = services::postfixHealth(shell(services::postfixHealthProbe()), services::isPortOpen(25));
    EXPECT_TRUE(down.loaded);
    EXPECT_FALSE(down.up);

    const PostfixCheckOutcome outcome
        = parsePostfixCheck(runAsHelper(restorePostfixArguments(scriptText("check-postfix.sh"))));
    EXPECT_EQ(outcome.result, CheckResult::Restored);
    EXPECT_EQ(outcome.previousUp, std::optional<bool>(true));
    EXPECT_EQ(configuration(), good);
    EXPECT_TRUE(services::isPortOpen(25));
}

TEST_F(PostfixCheckSystem, ALinkedStateFolderIsRefusedAndNothingIsWritten)
{
    shell("rm -rf /var/lib/brevane && mkdir -p /tmp/elsewhere && ln -s /tmp/elsewhere /var/lib/brevane");
    const auto before = configuration();
    PostfixForm changed = goodForm();
    changed.mydomain = QStringLiteral("changed.brevane.test");
    const PostfixCheckOutcome outcome = restart(changed);
    EXPECT_EQ(outcome.result, CheckResult::Unsafe);
    EXPECT_EQ(configuration(), before);
    EXPECT_EQ(shell("ls -A /tmp/elsewhere"), "");
    shell("rm /var/lib/brevane");
    shell(services::loadJob("postfix"));
}

TEST_F(PostfixCheckSystem, FetchmailWhosePollsFailIsLoadedButNotUp)
{
    shell("touch /var/log/fetchmail.log && printf 'set daemon 1\\nset logfile /var/log/fetchmail.log\\n"
          "poll 127.0.0.1 protocol pop3 port 1110 user \"x\" password \"y\"\\n' "
          "> /usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc && "
          "chmod 600 /usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc");
    shell(services::loadJob("fetchmail"));
    shell("for i in $(seq 100); do grep -q 'Query status=2' /var/log/fetchmail.log && break; sleep 0.1; done");
    const auto failing = services::fetchmailHealth(shell(services::fetchmailHealthProbe()));
    EXPECT_TRUE(failing.loaded);
    EXPECT_FALSE(failing.up);
    EXPECT_TRUE(failing.why.contains("Query status=2 (SOCKET)")) << failing.why.toStdString();
    shell(services::unloadJob("fetchmail"));
    EXPECT_FALSE(services::fetchmailHealth(shell(services::fetchmailHealthProbe())).loaded);
}

TEST_F(PostfixCheckSystem, ConfigurationsThatOnlyTurnTheProbeAwayStillGoLive)
{
    for (const char* custom : {"mydestination =\nrelayhost = [192.0.2.1]", "local_recipient_maps =\nluser_relay = root",
                               "smtpd_client_restrictions = reject_unknown_client_hostname\n"
                               "smtpd_helo_restrictions = reject_non_fqdn_helo_hostname, reject_unknown_helo_hostname",
                               // A policy that turns every sender away is the administrator's to choose.
                               "smtpd_recipient_restrictions = reject"}) {
        PostfixForm form = goodForm();
        form.custom = QString::fromUtf8(custom);
        const PostfixCheckOutcome outcome = restart(form);
        EXPECT_EQ(outcome.result, CheckResult::Up) << custom << outcome.said.join('\n').toStdString();
        EXPECT_EQ(fileBytes(lastGoodMainCf), configuration().value("main.cf")) << custom;
        // The probe stopped at the recipient: nothing of it was queued.
        EXPECT_EQ(shell("postqueue -p"), "Mail queue is empty") << custom;
    }
}

TEST_F(PostfixCheckSystem, AConfigurationThatRefusesAllMailIsRevertedInPostfixsWords)
{
    const struct {
        const char* custom;
        const char* words;
    } cases[] = {
        {"smtpd_recipient_restrictions = reject_bogus_thing", "warning: unknown smtpd restriction: \"reject_bogus_thing\""},
        {"smtpd_helo_restrictions = check_helo_access hash:/nonexistent/table",
         "warning: hash:/nonexistent/table is unavailable"},
    };
    for (const auto& c : cases) {
        const QByteArray lastGood = fileBytes(lastGoodMainCf);
        PostfixForm bad = goodForm();
        bad.custom = QString::fromUtf8(c.custom);
        expectKeptPrevious(bad, CheckResult::Rejecting, "custom lines field", c.words);
        EXPECT_EQ(fileBytes(lastGoodMainCf), lastGood) << c.custom;
    }
}

TEST_F(PostfixCheckSystem, AppliesAndARestoreStartedTogetherTakeTurns)
{
    const QByteArray defaults = fileBytes(configDir + "/main.cf.default");
    for (int round = 0; round < 3; ++round) {
        QList<QStringList> vectors;
        for (const QString name : {"one", "two"}) {
            PostfixForm form = goodForm();
            form.mydomain = QStringLiteral("%1-%2.brevane.test").arg(name).arg(round);
            form.aliases = "postmaster: root\n" + name + ": root";
            vectors.append(applyVector(form));
        }
        vectors.append(restorePostfixArguments(scriptText("check-postfix.sh")));
        const QStringList reports = runTogether(vectors);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(parsePostfixCheck(reports[i]).result, i < 2 ? CheckResult::Up : CheckResult::Restored)
                << round << reports[i].toStdString();
        // One apply's files, whole and the same as the last working ones,
        // and Postfix running on them.
        const auto live = configuration();
        EXPECT_TRUE(live.value("main.cf").startsWith(defaults)) << round;
        EXPECT_EQ(live.value("main.cf").contains("mydomain=one-"), live.value("aliases").contains("one: root")) << round;
        EXPECT_EQ(fileBytes(lastGoodMainCf), live.value("main.cf")) << round;
        EXPECT_TRUE(services::isPortOpen(25)) << round;
    }
}

TEST_F(PostfixCheckSystem, AFullStateFolderIsSaidAndLeavesNoPartialCandidate)
{
    const QByteArray lastGood = fileBytes(lastGoodMainCf);
    // Room for the snapshot the apply takes again, none for another copy.
    shell("cp -a /var/lib/brevane /tmp/state && mount -t tmpfs -o size=1m,mode=0700 full /var/lib/brevane && "
          "cp -a /tmp/state/. /var/lib/brevane/ && { dd if=/dev/zero of=/var/lib/brevane/filler bs=4k; "
          "truncate -s -16k /var/lib/brevane/filler; } 2>/dev/null");
    PostfixForm changed = goodForm();
    changed.mydomain = QStringLiteral("full.brevane.test");
    const PostfixCheckOutcome outcome = restart(changed);
    EXPECT_EQ(outcome.result, CheckResult::Up) << outcome.said.join('\n').toStdString();
    EXPECT_TRUE(outcome.unsaved.startsWith("cp: ") && outcome.unsaved.endsWith("No space left on device"))
        << outcome.unsaved.toStdString();
    EXPECT_EQ(shell("ls -A /var/lib/brevane"), "filler\nlast-good\nlock\nprevious");
    EXPECT_EQ(fileBytes(lastGoodMainCf), lastGood);
    shell("umount /var/lib/brevane");
}

TEST_F(PostfixCheckSystem, WhatAKilledApplyLeftIsClearedByTheNextOne)
{
    PostfixForm changed = goodForm();
    changed.mydomain = QStringLiteral("killed.brevane.test");
    const QStringList vector = applyVector(changed);
    QProcess killed;
    killed.setWorkingDirectory(resources);
    killed.start(vector.first(), vector.mid(1));
    ASSERT_TRUE(killed.waitForStarted());
    QThread::msleep(400);
    killed.kill();
    killed.waitForFinished();
    // And what a kill a moment later leaves: a start told to skip its
    // checks, a half-copied candidate.
    shell("touch /var/spool/postfix/quick-start && mkdir -p /var/lib/brevane/last-good.new && "
          "head -n 3 " + configDir + "/main.cf > /var/lib/brevane/last-good.new/main.cf");

    PostfixForm bad = goodForm();
    bad.custom = QStringLiteral("message_size_limit = 1O240000");
    const PostfixCheckOutcome outcome = restart(bad);
    // Refused, not kept waiting: the killed apply holds no lock.
    EXPECT_EQ(outcome.result, CheckResult::Refused) << outcome.said.join('\n').toStdString();
    EXPECT_EQ(outcome.previousUp, std::optional<bool>(true));
    EXPECT_EQ(shell("test -e /var/spool/postfix/quick-start || test -e /var/lib/brevane/last-good.new || echo CLEAN"),
              "CLEAN");
    EXPECT_TRUE(fileBytes(lastGoodMainCf).startsWith(fileBytes(configDir + "/main.cf.default")));
    EXPECT_TRUE(services::isPortOpen(25));
}
