#include "maintenance/ShellCommand.h"

#include <QProcess>

namespace brevane {

namespace {

QString outputOf(const QStringList& arguments)
{
    QProcess task;
    task.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    task.setInputChannelMode(QProcess::ForwardedInputChannel);
    task.start(arguments.first(), arguments.mid(1));
    if (!task.waitForStarted(-1))
        return {};
    // Waiting for the end collects everything written before the pipe closed;
    // a log of any size comes back whole.
    task.waitForFinished(-1);
    return QString::fromUtf8(task.readAllStandardOutput());
}

} // namespace

QString doShellCommand(const QString& line)
{
    return outputOf({QStringLiteral("/bin/sh"), QStringLiteral("-c"), line});
}

QString runWithoutPrivileges(const QStringList& arguments)
{
    QString output = arguments.isEmpty() ? QString() : outputOf(arguments);
    output.chop(1);
    return output;
}

CommandRunner& unprivilegedRunner()
{
    static CommandRunner runner = runWithoutPrivileges;
    return runner;
}

} // namespace brevane

namespace brevane {

QString shellCommandHeadings(const QString& line, int lineCount)
{
    QProcess task;
    task.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    task.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
    if (!task.waitForStarted(-1))
        return {};
    QByteArray output;
    while (output.count('\n') < lineCount) {
        if (!task.waitForReadyRead(10000))
            break;
        output += task.readAllStandardOutput();
    }
    task.kill();
    task.waitForFinished(-1);
    output += task.readAllStandardOutput();
    qsizetype end = 0;
    for (int i = 0; i < lineCount; ++i) {
        const qsizetype next = output.indexOf('\n', end);
        if (next < 0)
            return QString::fromUtf8(output);
        end = next + 1;
    }
    return QString::fromUtf8(output.left(end));
}

} // namespace brevane
