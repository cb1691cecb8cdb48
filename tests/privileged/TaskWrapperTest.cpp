// The runner against stand-in helpers: what it sends, what it returns,
// how it waits. No root needed.

#include "FakeResources.h"

#include "privileged/BoundedOutput.h"
#include "privileged/InputPipe.h"
#include "privileged/TaskWrapper.h"
#include "shell/CommandRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>

using brevane::shellCommand;
using brevane::TaskWrapper;

namespace {

QString run(TaskWrapper& runner, const QString& line)
{
    runner.setArgs(shellCommand(line));
    return runner.startProcessGetResult();
}

} // namespace

TEST(HelperResult, DropsTheLastCharacterOfUtf8Text)
{
    using brevane::helperResult;
    EXPECT_EQ(helperResult("YES\n"), "YES");
    EXPECT_EQ(helperResult("abc"), "ab");
    EXPECT_EQ(helperResult("x"), "");
    EXPECT_EQ(helperResult(""), "");
    EXPECT_EQ(helperResult("# Grüße an José\n"), QString::fromUtf8("# Grüße an José"));
    // A character outside the basic plane is one character, not two halves.
    EXPECT_EQ(helperResult("ok\xF0\x9F\x93\xAC"), "ok");
    // Bytes that are not UTF-8 are replaced, never lose the rest.
    EXPECT_EQ(helperResult("a\xff" "b\n"), QString("a") + QChar(0xFFFD) + "b");
}

TEST(TaskWrapperRun, BeforeLoginSendsThirtyTwoZeroBytes)
{
    FakeResources resources;
    TaskWrapper runner;
    EXPECT_EQ(runner.extAuth(), QByteArray(32, '\0'));
    EXPECT_EQ(run(runner, "echo YES"), "YES");
    EXPECT_EQ(resources.file("stdin.bin"), QByteArray(32, '\0'));
}

TEST(TaskWrapperRun, ReturnsOutputMinusItsLastCharacter)
{
    FakeResources resources;
    TaskWrapper runner;
    EXPECT_EQ(run(runner, "echo YES"), "YES");
    EXPECT_EQ(run(runner, "printf abc"), "ab");
    EXPECT_EQ(run(runner, "printf x"), "");
    EXPECT_EQ(run(runner, "true"), "");
    EXPECT_EQ(run(runner, "printf 'alias: Zoë\\n'"), QString::fromUtf8("alias: Zoë"));
    // Standard error is not part of the result.
    EXPECT_EQ(run(runner, "echo noise >&2; echo out"), "out");
    // The exit status is not looked at.
    EXPECT_EQ(run(runner, "echo partial; exit 3"), "partial");
}

TEST(TaskWrapperRun, RunsInTheResourceDirectory)
{
    FakeResources resources;
    TaskWrapper runner;
    EXPECT_EQ(run(runner, "pwd -P"), QDir(resources.path()).canonicalPath());
}

TEST(TaskWrapperRun, ALargeListingComesBackWhole)
{
    FakeResources resources;
    TaskWrapper runner;
    // Far beyond a pipe's buffer: the helper would stall if nobody drained it.
    const QString result = run(runner, "i=0; while [ $i -lt 5000 ]; do "
                                       "printf '%06d %092d\\n' $i 0; i=$((i+1)); done");
    ASSERT_EQ(result.size(), 500'000 - 1);
    EXPECT_TRUE(result.startsWith("000000 "));
    EXPECT_TRUE(result.endsWith(QString("004999 ") + QString(92, '0')));
}

TEST(TaskWrapperRun, ReadsUntilEveryWriterIsDoneNotUntilTheHelperExits)
{
    FakeResources resources;
    TaskWrapper runner;
    bool timerFired = false;
    QTimer::singleShot(300, [&] { timerFired = runner.isRunning(); });
    EXPECT_EQ(run(runner, "(sleep 1; echo late) & echo now"), "now\nlate");
    EXPECT_TRUE(timerFired); // the window keeps its timers while it waits
}

TEST(TaskWrapperRun, ARunDuringARunReturnsEmptyAndStartsNothing)
{
    FakeResources resources;
    TaskWrapper runner;
    QString nested = "not run";
    bool timerFired = false;
    QTimer::singleShot(100, [&] {
        timerFired = true;
        EXPECT_TRUE(runner.isRunning());
        nested = runner.startProcessGetResult();
    });
    EXPECT_EQ(run(runner, "sleep 1; echo outer"), "outer");
    EXPECT_TRUE(timerFired);
    EXPECT_EQ(nested, "");
    EXPECT_EQ(resources.lineCount("starts.log"), 1);
    EXPECT_FALSE(runner.isRunning());
}

TEST(BoundedOutput, KeepsTheHeadAndTheTailAndCountsTheRest)
{
    const struct {
        qsizetype head, tail;
        QList<QByteArray> pieces;
        QByteArray kept;
    } cases[] = {
        {4, 4, {}, ""},
        {4, 4, {"abcdefgh"}, "abcdefgh"},
        {4, 4, {"ab", "cd", "ef", "gh"}, "abcdefgh"},
        {4, 4, {"abcdefghi"}, "abcd\n[1 bytes left out]\nfghi"},
        {4, 4, {"abc", "defghijklmnopq", "rstuvwxyz"}, "abcd\n[18 bytes left out]\nwxyz"},
        {2, 3, {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}, "ab\n[5 bytes left out]\nhij"},
        {0, 2, {"endless", " capability", " list"}, "\n[21 bytes left out]\nst"},
    };
    for (const auto& c : cases) {
        brevane::BoundedOutput output(c.head, c.tail);
        for (const QByteArray& piece : c.pieces)
            output.append(piece);
        EXPECT_EQ(output.bytes(), c.kept) << c.kept.toStdString();
    }
}

// A remote server that answers without end (a POP3 server's endless
// capability list): the run keeps its bounds, goes on beside the window's
// other runs, and its end still arrives.
TEST(TaskWrapperRun, ABackgroundRunKeepsItsBoundsAndLeavesTheRunnerFree)
{
    FakeResources resources;
    TaskWrapper runner;
    QString result;
    bool done = false;
    ASSERT_TRUE(runner.startBackgroundRun(shellCommand("echo '+OK ready'; yes 'CAPA X' | head -c 30000000; "
                                                       "echo; echo 'fetchmail status: 2'"),
                                          1024, 1024, [&](const QString& output) {
                                              result = output;
                                              done = true;
                                          }));
    EXPECT_TRUE(runner.isRunningInBackground());
    EXPECT_FALSE(runner.startBackgroundRun(shellCommand("echo second"), 10, 10, [](const QString&) {}));
    EXPECT_EQ(run(runner, "echo YES"), "YES"); // while the other one still prints
    for (int i = 0; i < 600 && !done; ++i)
        QTest::qWait(50);
    ASSERT_TRUE(done);
    EXPECT_FALSE(runner.isRunningInBackground());
    EXPECT_LE(result.size(), 2048 + 40);
    EXPECT_TRUE(result.startsWith("+OK ready\nCAPA X\n"));
    EXPECT_TRUE(result.contains(" bytes left out]\n"));
    EXPECT_TRUE(result.endsWith("fetchmail status: 2"));
}

TEST(TaskWrapperRun, TheVectorIsKeptForTheNextRun)
{
    FakeResources resources;
    TaskWrapper runner;
    runner.setArgs(shellCommand("echo once >> ran.txt; wc -l < ran.txt"));
    EXPECT_EQ(runner.startProcessGetResult(), "1");
    EXPECT_EQ(runner.startProcessGetResult(), "2");
    EXPECT_EQ(resources.lineCount("ran.txt"), 2);
}

TEST(TaskWrapperRun, PositionalArgumentsReachTheScript)
{
    FakeResources resources;
    TaskWrapper runner;
    auto run = runner.runner();
    EXPECT_EQ(run({"/bin/sh", "-c", "cd \"$1\" && pwd -P && echo \"$2\"", "", ".", "second arg"}),
              QDir(resources.path()).canonicalPath() + "\nsecond arg");
}

TEST(TaskWrapperRun, AMissingHelperYieldsEmpty)
{
    FakeResources resources;
    resources.remove("shellTool");
    TaskWrapper runner;
    EXPECT_EQ(run(runner, "echo YES"), "");
    EXPECT_FALSE(runner.isRunning());
    // The runner is usable afterwards.
    EXPECT_EQ(run(runner, "echo YES"), "");
}

TEST(TaskWrapperLogin, AGrantedFormIsKeptAndSent)
{
    FakeResources resources;
    TaskWrapper runner;
    runner.setAdminPassword("good", "alice");
    ASSERT_TRUE(runner.checkIfSudoer());
    const QByteArray first = QByteArray(31, '0') + "1"; // the fake's first form
    EXPECT_EQ(runner.extAuth(), first);
    run(runner, "true");
    EXPECT_EQ(resources.file("stdin.bin"), first);

    // A failed check afterwards leaves the first form in place.
    runner.setAdminPassword("wrong", "alice");
    EXPECT_FALSE(runner.checkIfSudoer());
    EXPECT_EQ(runner.extAuth(), first);
    run(runner, "true");
    EXPECT_EQ(resources.file("stdin.bin"), first);
}

TEST(TaskWrapperLogin, RefusedCredentialsLeaveTheZeroForm)
{
    FakeResources resources;
    TaskWrapper runner;
    runner.setAdminPassword("good", "bob");
    EXPECT_FALSE(runner.checkIfSudoer());
    EXPECT_EQ(runner.extAuth(), QByteArray(32, '\0'));
}

TEST(TaskWrapperLogin, DefinesTheRightOnceWithFiveEntries)
{
    FakeResources resources;
    TaskWrapper runner;
    runner.setAdminPassword("good", "alice");
    ASSERT_TRUE(runner.checkIfSudoer());
    ASSERT_TRUE(runner.checkIfSudoer());
    EXPECT_EQ(resources.file("right"),
              "allow-root=true\nclass=user\n"
              "comment=Used by Tarnwick applications to run a tool as admin over the duration of the application.\n"
              "group=admin\nshared=false\n");
    const QString log = QString::fromUtf8(resources.file("authority.log"));
    EXPECT_EQ(log.count("define com.dadarozudedarid.lumbrel.admin"), 1);
    EXPECT_EQ(log.count("exists com.dadarozudedarid.lumbrel.admin"), 2);
    // The password travels on standard input only.
    EXPECT_FALSE(log.contains("good"));
}

TEST(TaskWrapperLogin, AnExistingRightIsNotRedefined)
{
    FakeResources resources;
    QFile right(resources.path() + "/right");
    ASSERT_TRUE(right.open(QIODevice::WriteOnly));
    right.write("class=user\ngroup=staff\n");
    right.close();
    TaskWrapper runner;
    runner.setAdminPassword("good", "alice");
    runner.checkIfSudoer();
    EXPECT_EQ(resources.file("right"), "class=user\ngroup=staff\n");
    EXPECT_FALSE(resources.file("authority.log").contains("define"));
}

TEST(TaskWrapperLogin, AMissingAuthorityRefuses)
{
    FakeResources resources;
    resources.remove("brevane-authorize");
    TaskWrapper runner;
    runner.setAdminPassword("good", "alice");
    EXPECT_FALSE(runner.checkIfSudoer());
    EXPECT_EQ(runner.extAuth(), QByteArray(32, '\0'));
}

TEST(InputPipe, TheChildReadsExactlyTheBytesThenTheEnd)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        bool runs;
    };
    const QList<Case> cases = {
        {"the form", QByteArray(32, '\x7f'), true},
        {"nothing", QByteArray(), true},
        {"one pipe buffer", QByteArray(PIPE_BUF, 'a'), true},
        {"more than one pipe buffer", QByteArray(PIPE_BUF + 1, 'a'), false},
    };
    for (const Case& c : cases) {
        brevane::InputPipe input(c.bytes);
        QProcess child;
        child.setInputChannelMode(QProcess::ForwardedInputChannel);
        child.setChildProcessModifier(input.childModifier());
        // cat ends only at the end of its input: no writer may be left.
        child.start("/bin/sh", {"-c", "cat; echo ran"});
        input.closeReadEnd();
        ASSERT_TRUE(child.waitForFinished(10000)) << c.name;
        const QByteArray output = child.readAllStandardOutput();
        EXPECT_EQ(output, c.runs ? c.bytes + "ran\n" : QByteArray()) << c.name;
    }
}
