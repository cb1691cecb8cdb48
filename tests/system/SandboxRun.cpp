#include "SandboxRun.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QFileInfo>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

namespace sandbox {

bool active()
{
    return qEnvironmentVariable("BREVANE_IN_SANDBOX") == QLatin1String("1") && ::geteuid() == 0;
}

QString run(const QStringList& arguments, int* status, const QString& workingDirectory)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(arguments.first(), arguments.mid(1));
    process.waitForFinished(-1);
    if (status)
        *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString runAsHelper(const QStringList& arguments, const QString& workingDirectory)
{
    QString output = run(arguments, nullptr, workingDirectory);
    output.chop(1);
    return output;
}

void writeFile(const QString& path, const QByteArray& contents, int mode)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
    file.close();
    if (mode)
        ::chmod(QFile::encodeName(path).constData(), mode);
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool waitFor(const std::function<bool()>& done, int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        if (done())
            return true;
        QThread::msleep(100);
    }
    return done();
}

} // namespace sandbox
