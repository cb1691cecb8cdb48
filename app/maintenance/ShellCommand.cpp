#include "maintenance/ShellCommand.h"

#include <QProcess>

namespace brevane {

QString doShellCommand(const QString& line)
{
    QProcess task;
    task.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    task.setInputChannelMode(QProcess::ForwardedInputChannel);
    task.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
    if (!task.waitForStarted(-1))
        return {};
    // Waiting for the end collects everything written before the pipe closed;
    // a log of any size comes back whole.
    task.waitForFinished(-1);
    return QString::fromUtf8(task.readAllStandardOutput());
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
