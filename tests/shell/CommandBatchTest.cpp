// Several command lines in one run must give each line exactly what a run
// of that line alone gives. Checked against a real /bin/sh, no root needed.
#include "privileged/TaskWrapper.h"
#include "shell/CommandBatch.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace brevane;

namespace {

/// The helper's view of a run, without the helper: output, last character dropped.
QString runPlain(const QStringList& arguments, int* runs = nullptr)
{
    if (runs)
        ++*runs;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(arguments.first(), arguments.mid(1));
    process.waitForFinished();
    return helperResult(process.readAllStandardOutput());
}

} // namespace

TEST(CommandBatch, EachLineReadsAsIfRunAlone)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("main.cf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a=b\n###Start Brevane###\nbiff=no\n###End Brevane###\n\n###Start Custom Config###\nx = y\n"
               " continued\n###End Custom Config###\n");
    file.close();
    const QString path = file.fileName();
    const QStringList lines = {
        "sed -n '/^###Start Brevane###$/,/^###End Brevane###$/p' " + path,
        "sed -n '/^###Start Custom Config###$/,/^###End Custom Config###$/p' " + path + " | sed '1d'  | sed '$d'",
        "cat " + dir.filePath("missing") + " 2>/dev/null",
        "printf ''",
        "printf 'no line feed'",
        "printf 'x'",
        "printf 'two\\n\\n'",
        "printf 'caf\\303\\251\\n'",
        "printf 'cut \\303'",
        "printf 'not utf-8 \\377 here\\n'",
        "printf '%s\\n' '--brevane-section-0000' 'after a boundary of another run'",
        "ls " + path,
    };
    int runs = 0;
    const QStringList batched
        = runShellLines([&runs](const QStringList& arguments) { return runPlain(arguments, &runs); }, lines);
    EXPECT_EQ(runs, 1);
    ASSERT_EQ(batched.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_EQ(batched.at(i), runPlain(shellCommand(lines.at(i)))) << lines.at(i).toStdString();
}

TEST(CommandBatch, EveryLineTravelsAsItsOwnArgument)
{
    const QStringList lines = {"cat /etc/hostname", "echo 'a; b' | tr a b"};
    const QStringList arguments = batchArguments(lines, "--b");
    EXPECT_EQ(arguments.mid(0, 2), QStringList({"/bin/sh", "-c"}));
    EXPECT_EQ(arguments.at(3), "");
    EXPECT_EQ(arguments.at(4), "--b");
    EXPECT_EQ(arguments.mid(5), lines);
}

TEST(CommandBatch, ARefusedOrForeignResultGivesEmptyOutputs)
{
    struct Case {
        const char* name;
        QString result;
    };
    const QList<Case> cases = {
        {"refused run", ""},
        {"no boundary", "YES"},
        {"a section short", "one\n--b\ntwo\n--b"},
        {"a section too many", "1\n--b\n2\n--b\n3\n--b\n4\n--b"},
        {"not ending on a boundary", "1\n--b\n2\n--b\n3\n--b\ntrailing"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitBatchResult(c.result, "--b", 3), QStringList(3, QString())) << c.name;
    EXPECT_EQ(splitBatchResult("1\n\n--b\n\n--b\nabc\n--b", "--b", 3), QStringList({"1", "", "ab"}));
}

TEST(CommandBatch, AReadOfAMissingFileStartsNoProgram)
{
    QTemporaryDir dir;
    const QString present = dir.filePath("access");
    QFile file(present);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a OK\n");
    file.close();
    const QString link = dir.filePath("dangling");
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), link));
    // Stand-ins that log each start, ahead of the real programs on the path.
    const QString bin = dir.filePath("bin");
    const QString log = dir.filePath("started");
    ASSERT_TRUE(QDir().mkpath(bin));
    for (const char* name : {"cat", "ls"}) {
        QFile standIn(bin + u'/' + QLatin1String(name));
        ASSERT_TRUE(standIn.open(QIODevice::WriteOnly));
        standIn.write(QStringLiteral("#!/bin/sh\necho \"%1 $*\" >> '%2'\nexec /bin/%1 \"$@\"\n")
                          .arg(QLatin1String(name), log).toUtf8());
        standIn.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QString missing = dir.filePath("sasl_passwd");
    const QStringList lines = {"cat " + missing, "ls " + missing + ".db", "cat " + present,
                               "ls " + link, "cat " + missing + " || echo absent"};
    const auto runWithStandIns = [&bin](const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", bin + ":/usr/bin:/bin");
        process.setProcessEnvironment(environment);
        process.start(arguments.first(), arguments.mid(1));
        process.waitForFinished();
        return helperResult(process.readAllStandardOutput());
    };
    EXPECT_EQ(runShellLines(runWithStandIns, lines), QStringList({"", "", "a OK", link, "absent"}));
    QFile started(log);
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(started.readAll(), ("cat " + present + "\nls " + link + "\ncat " + missing + "\n").toUtf8());
}
