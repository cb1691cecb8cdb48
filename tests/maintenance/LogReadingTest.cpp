#include "maintenance/LogReading.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

using namespace brevane;

namespace {

// Runs the runner's vector with a plain shell on `path` in place of the
// fixed log file, and answers as the runner does: without the last character.
QString runAsTheRunnerWould(QStringList command, const QString& path)
{
    command[4] = path;
    QProcess shell;
    shell.start(command.first(), command.mid(1));
    shell.waitForFinished(-1);
    QString output = QString::fromUtf8(shell.readAllStandardOutput());
    output.chop(1);
    return output;
}

} // namespace

TEST(LogReading, PrivilegedVectorHoldsOnlyTheFixedPathAndNumbers)
{
    const QStringList command = privilegedChunkCommand(LogFile::RotatedMailLog, 1234, -5);
    ASSERT_EQ(command.size(), 7);
    EXPECT_EQ(command.mid(0, 2), (QStringList{"/bin/sh", "-c"}));
    EXPECT_FALSE(command.at(2).contains("mail.log")); // the path is an argument, never script text
    EXPECT_EQ(command.mid(4), (QStringList{"/var/log/mail.log.1", "1234", "0"}));
    EXPECT_EQ(logFilePath(LogFile::MailLog), "/var/log/mail.log");
}

TEST(LogReading, ChunksComeBackByteForByteThroughTheRunner)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("mail.log");
    // Bytes the runner's text decoding would mangle, and no final line break.
    const QByteArray contents = "first line\nbad byte \xff\xfe here\ncaf\xc3\xa9\nlast, unfinished";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();

    struct Case {
        qint64 offset, maxBytes;
    };
    for (const Case c : {Case{0, 1 << 20}, Case{11, 9}, Case{contents.size() - 3, 100}, Case{contents.size(), 10},
                         Case{contents.size() + 50, 10}}) {
        const LogChunk chunk
            = parseChunkReply(runAsTheRunnerWould(privilegedChunkCommand(LogFile::MailLog, c.offset, c.maxBytes), path));
        ASSERT_TRUE(chunk.ok) << c.offset;
        EXPECT_EQ(chunk.fileSize, contents.size());
        EXPECT_EQ(chunk.bytes, contents.mid(c.offset, c.maxBytes)) << c.offset;
        const LogChunk direct = readChunkDirectly(path, c.offset, c.maxBytes);
        EXPECT_EQ(direct.bytes, chunk.bytes);
        EXPECT_EQ(direct.fileSize, chunk.fileSize);
    }
    const LogChunk missing
        = parseChunkReply(runAsTheRunnerWould(privilegedChunkCommand(LogFile::MailLog, 0, 10), dir.filePath("none")));
    EXPECT_FALSE(missing.ok);
}

TEST(LogReading, RefusedOrDamagedRepliesReadAsNothing)
{
    for (const char* reply : {"", "12", "x\nAAAA", "-1\n", "12\n***", "12\nQUJD\nQUJD"})
        EXPECT_FALSE(parseChunkReply(reply).ok) << reply;
    const LogChunk chunk = parseChunkReply("40\nQUJD");
    EXPECT_TRUE(chunk.ok);
    EXPECT_EQ(chunk.bytes, "ABC");
    EXPECT_FALSE(readChunkDirectly("/nonexistent/mail.log", 0, 10).ok);
}
