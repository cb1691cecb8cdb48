#include "maintenance/ShellCommand.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace brevane;

TEST(DoShellCommand, KeepsTheFinalLineBreak)
{
    EXPECT_EQ(doShellCommand("echo first; echo second"), "first\nsecond\n");
    EXPECT_EQ(doShellCommand("printf 'no break'"), "no break");
}

TEST(DoShellCommand, StandardErrorAndExitStatusStayOutOfTheText)
{
    EXPECT_EQ(doShellCommand("echo shown; echo hidden >&2; exit 3"), "shown\n");
    EXPECT_EQ(doShellCommand("/no/such/program"), "");
}

TEST(DoShellCommand, DecodesUtf8AndReplacesInvalidBytes)
{
    EXPECT_EQ(doShellCommand("printf 'Jos\\303\\251\\n'"), QStringLiteral("Jos\u00e9\n"));
    EXPECT_EQ(doShellCommand("printf 'a\\377b'"), QStringLiteral("a\uFFFDb"));
}

TEST(DoShellCommand, ReadsALargeOutputWhole)
{
    // Several times a pipe's buffer: nothing may be lost between reads.
    const QString text = doShellCommand("i=0; while [ $i -lt 20000 ]; do echo \"line $i of the log\"; i=$((i+1)); done");
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 20001);
    EXPECT_EQ(lines.at(0), "line 0 of the log");
    EXPECT_EQ(lines.at(19999), "line 19999 of the log");
    EXPECT_EQ(lines.at(20000), "");
}

TEST(DoShellCommand, StandardInputIsTheApplications)
{
    // Qt would otherwise hand the command a pipe of its own.
    const QString ours = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/0"));
    if (ours.isEmpty())
        GTEST_SKIP() << "this test runs without standard input";
    EXPECT_EQ(doShellCommand("readlink /proc/self/fd/0"), ours + "\n");
}

TEST(ShellCommand, HeadingsEndTheCommandOnceRead)
{
    struct Case {
        const char* line;
        int lineCount;
        const char* headings;
    };
    const Case cases[] = {
        // A command that would go on for ever is ended after its headings.
        {"echo one ; echo ; echo three ; exec sleep 600", 2, "one\n\n"},
        {"echo one ; echo two", 6, "one\ntwo\n"},
        {"printf 'a\\nb'", 2, "a\nb"},
        {"true", 1, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shellCommandHeadings(c.line, c.lineCount), c.headings) << c.line;
}
