// Privileged execution for real: PAM, the right database, the authority
// and a setuid shellTool. Run by privileged-scenario.sh inside the
// sandbox, once as root (AsRoot) and once as an administrator (AsAdmin);
// elsewhere every case skips.

#include "privileged/TaskWrapper.h"
#include "shell/CommandRunner.h"
#include "shell/ResourcePaths.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using brevane::shellCommand;
using brevane::TaskWrapper;

namespace {

const QString rightFile = QStringLiteral("/var/db/brevane-auth/rights/com.dadarozudedarid.lumbrel.admin");
const QByteArray fiveEntries = "allow-root=true\nclass=user\n"
                               "comment=Used by Tarnwick applications to run a tool as admin over the duration "
                               "of the application.\ngroup=admin\nshared=false\n";

QString env(const char* name)
{
    return qEnvironmentVariable(name);
}

QString shellTool()
{
    return brevane::resourceDirectory() + "/shellTool";
}

bool loginAs(TaskWrapper& runner, const char* userVariable, const char* passwordVariable)
{
    runner.setAdminPassword(env(passwordVariable), env(userVariable));
    return runner.checkIfSudoer();
}

/// Runs the helper as a direct child with `form` on stdin; answers its stdout.
QByteArray feedHelper(const QByteArray& form, const QStringList& arguments, int* exitCode)
{
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(shellTool(), arguments);
    helper.write(form);
    helper.closeWriteChannel();
    helper.waitForFinished();
    *exitCode = helper.exitCode();
    return helper.readAllStandardOutput();
}

class InSandbox : public ::testing::Test {
protected:
    void requireUid(bool root)
    {
        if (env("BREVANE_TEST_ADMIN").isEmpty() || (getuid() == 0) != root)
            GTEST_SKIP() << "runs inside the sandbox scenario only";
        m_marker = QStringLiteral("/tmp/brevane-marker-%1").arg(QRandomGenerator::global()->generate());
    }
    QString m_marker;
};

class AsRoot : public InSandbox {
protected:
    void SetUp() override
    {
        requireUid(true);
        QFile::remove(rightFile); // each case starts with the right undefined
    }
};

class AsAdmin : public InSandbox {
protected:
    void SetUp() override { requireUid(false); }
};

} // namespace

TEST_F(AsRoot, AnAdministratorWithTheRightPasswordIsGranted)
{
    TaskWrapper runner;
    ASSERT_TRUE(loginAs(runner, "BREVANE_TEST_ADMIN", "BREVANE_TEST_ADMIN_PASSWORD"));
    EXPECT_NE(runner.extAuth(), QByteArray(32, '\0'));
    EXPECT_EQ(runner.extAuth().size(), 32);
}

TEST_F(AsRoot, WrongPasswordUnknownUserAndNonMembersAreRefused)
{
    TaskWrapper runner;
    runner.setAdminPassword("not the password", env("BREVANE_TEST_ADMIN"));
    EXPECT_FALSE(runner.checkIfSudoer());
    runner.setAdminPassword(env("BREVANE_TEST_ADMIN_PASSWORD"), "nobody-here");
    EXPECT_FALSE(runner.checkIfSudoer());
    EXPECT_FALSE(loginAs(runner, "BREVANE_TEST_PLAIN", "BREVANE_TEST_PLAIN_PASSWORD"));
    EXPECT_EQ(runner.extAuth(), QByteArray(32, '\0'));
}

TEST_F(AsRoot, RootItselfIsAllowed)
{
    TaskWrapper runner;
    runner.setAdminPassword(env("BREVANE_TEST_ROOT_PASSWORD"), "root");
    EXPECT_TRUE(runner.checkIfSudoer());
}

TEST_F(AsRoot, AFailedCheckKeepsTheFirstForm)
{
    TaskWrapper runner;
    ASSERT_TRUE(loginAs(runner, "BREVANE_TEST_ADMIN", "BREVANE_TEST_ADMIN_PASSWORD"));
    const QByteArray first = runner.extAuth();
    runner.setAdminPassword("wrong", env("BREVANE_TEST_ADMIN"));
    EXPECT_FALSE(runner.checkIfSudoer());
    EXPECT_EQ(runner.extAuth(), first);
    runner.setArgs({"/usr/bin/id", "-u"});
    EXPECT_EQ(runner.startProcessGetResult(), "0");
}

TEST_F(AsRoot, TheRightIsDefinedOnceWithFiveEntries)
{
    TaskWrapper runner;
    ASSERT_TRUE(loginAs(runner, "BREVANE_TEST_ADMIN", "BREVANE_TEST_ADMIN_PASSWORD"));
    QFile file(rightFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), fiveEntries);
    struct stat before {};
    ASSERT_EQ(stat(qPrintable(rightFile), &before), 0);
    EXPECT_EQ(before.st_uid, 0u);
    EXPECT_EQ(before.st_mode & 0777, 0600u);

    ASSERT_TRUE(loginAs(runner, "BREVANE_TEST_ADMIN", "BREVANE_TEST_ADMIN_PASSWORD"));
    struct stat after {};
    ASSERT_EQ(stat(qPrintable(rightFile), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(AsRoot, AnExistingDifferentRightIsLeftAlone)
{
    const QByteArray staffOnly = "allow-root=false\nclass=user\ngroup=staff\nshared=false\n";
    QFile file(rightFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(staffOnly);
    file.close();
    ASSERT_EQ(chmod(qPrintable(rightFile), 0600), 0);

    TaskWrapper runner;
    // The administrator is not in "staff": the existing rule decides.
    EXPECT_FALSE(loginAs(runner, "BREVANE_TEST_ADMIN", "BREVANE_TEST_ADMIN_PASSWORD"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), staffOnly);
}

TEST_F(AsRoot, BeforeLoginTheHelperRunsNothing)
{
    TaskWrapper runner;
    runner.setArgs(shellCommand("touch " + m_marker + "; echo ran"));
    EXPECT_EQ(runner.startProcessGetResult(), "");
    EXPECT_FALSE(QFileInfo::exists(m_marker));
}

TEST_F(AsAdmin, BeforeLoginTheHelperRunsNothing)
{
    TaskWrapper runner;
    runner.setArgs(shellCommand("touch " + m_marker + "; echo ran"));
    EXPECT_EQ(runner.startProcessGetResult(), "");
    EXPECT_FALSE(QFileInfo::exists(m_marker));
}

TEST_F(AsAdmin, TheLoggedInAdministratorRunsAsRoot)
{
    TaskWrapper runner;
    ASSERT_TRUE(loginAs(runner, "BREVANE_TEST_ADMIN", "BREVANE_TEST_ADMIN_PASSWORD"));
    runner.setArgs({"/usr/bin/id", "-u"});
    EXPECT_EQ(runner.startProcessGetResult(), "0");
    runner.setArgs(shellCommand("id -g; id -G"));
    EXPECT_EQ(runner.startProcessGetResult(), "0\n0");
    // The helper's program inherits the resource directory as its working directory.
    runner.setArgs({"/bin/pwd"});
    EXPECT_EQ(runner.startProcessGetResult(), brevane::resourceDirectory());
}

TEST_F(AsAdmin, TheChildSeesOnlyACleanEnvironment)
{
    TaskWrapper runner;
    ASSERT_TRUE(loginAs(runner, "BREVANE_TEST_ADMIN", "BREVANE_TEST_ADMIN_PASSWORD"));
    const QByteArray path = qgetenv("PATH");
    qputenv("LD_LIBRARY_PATH", "/tmp/evil");
    qputenv("LD_BREVANE_PROBE", "1");
    qputenv("IFS", "x");
    qputenv("ENV", "/tmp/evil.sh");
    qputenv("BASH_ENV", "/tmp/evil.sh");
    qputenv("PATH", "/tmp/evil:" + path);
    runner.setArgs({"/usr/bin/env"});
    const QStringList lines = runner.startProcessGetResult().split('\n');
    for (const char* name : {"LD_LIBRARY_PATH", "LD_BREVANE_PROBE", "IFS", "ENV", "BASH_ENV"})
        qunsetenv(name);
    qputenv("PATH", path);

    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.contains("PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"));
    EXPECT_TRUE(lines.contains("HOME=/root"));
    for (const QString& line : lines) {
        EXPECT_FALSE(line.startsWith("LD_")) << qPrintable(line);
        EXPECT_FALSE(line.startsWith("IFS=") || line.startsWith("ENV=") || line.startsWith("BASH_ENV="))
            << qPrintable(line);
    }
}

TEST_F(AsAdmin, ZeroShortAndRandomFormsRunNothing)
{
    QByteArray random(32, '\0');
    for (char& byte : random)
        byte = char(QRandomGenerator::global()->bounded(256));
    for (const QByteArray& form : {QByteArray(32, '\0'), QByteArray(31, '\1'), random}) {
        int status = 0;
        EXPECT_EQ(feedHelper(form, {"/usr/bin/touch", m_marker}, &status), "");
        EXPECT_NE(status, 0);
        EXPECT_FALSE(QFileInfo::exists(m_marker));
    }
}

TEST_F(AsAdmin, AnotherProcessCannotUseTheForm)
{
    TaskWrapper runner;
    ASSERT_TRUE(loginAs(runner, "BREVANE_TEST_ADMIN", "BREVANE_TEST_ADMIN_PASSWORD"));
    const QString formFile = m_marker + ".form";
    QFile file(formFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(runner.extAuth());
    file.close();

    // The form in the hands of a process this one started: refused.
    QProcess other;
    other.start("/bin/sh", {"-c", QString("\"%1\" /usr/bin/touch %2 < %3; echo $?").arg(shellTool(), m_marker, formFile)});
    other.waitForFinished();
    EXPECT_NE(other.readAllStandardOutput().trimmed(), "0");
    EXPECT_FALSE(QFileInfo::exists(m_marker));

    // The same bytes from this process itself still work.
    int status = 1;
    feedHelper(runner.extAuth(), {"/usr/bin/touch", m_marker}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(QFileInfo::exists(m_marker));
    QFile::remove(formFile);
}

TEST_F(AsAdmin, OnlyAnAdministratorDefinesARight)
{
    const QString probe = QStringLiteral("com.brevane.test.define-probe-%1").arg(getpid());
    const auto defined = [&] {
        return QProcess::execute(brevane::resourceDirectory() + "/brevane-authorize", {"exists", probe}) == 0;
    };
    TaskWrapper runner;
    runner.setAdminPassword(env("BREVANE_TEST_PLAIN_PASSWORD"), env("BREVANE_TEST_PLAIN"));
    runner.setupRight(probe);
    EXPECT_FALSE(defined());
    runner.setAdminPassword("wrong", env("BREVANE_TEST_ADMIN"));
    runner.setupRight(probe);
    EXPECT_FALSE(defined());
    runner.setAdminPassword(env("BREVANE_TEST_ADMIN_PASSWORD"), env("BREVANE_TEST_ADMIN"));
    runner.setupRight(probe);
    EXPECT_TRUE(defined());
}
