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
