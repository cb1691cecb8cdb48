#include "privileged/TaskWrapper.h"

#include "privileged/InputPipe.h"
#include "privileged/OutputPipe.h"
#include "shell/ResourcePaths.h"

#include <QEventLoop>
#include <QProcess>

#include <memory>

namespace brevane {

namespace {

constexpr int authorityTimeoutMs = 60'000;

QString authorityPath()
{
    return resourceDirectory() + QStringLiteral("/brevane-authorize");
}

QString helperPath()
{
    return resourceDirectory() + QStringLiteral("/shellTool");
}

/// A program or folder that someone besides root could replace gets neither the
/// password nor a command: the runner then acts as if it had been refused.
bool trusted(const QString& path)
{
    if (isTrustedResource(path))
        return true;
    qWarning("brevane: %s is not root's alone; it is not started", qPrintable(path));
    return false;
}

/// Runs the authority with `input` on its standard input and answers its
/// exit status (-1 when it could not run or did not finish) and output.
int runAuthority(const QStringList& arguments, const QByteArray& input, QByteArray* output)
{
    if (!trusted(authorityPath()))
        return -1;
    QProcess authority;
    authority.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    authority.start(authorityPath(), arguments);
    if (!authority.waitForStarted())
        return -1;
    authority.write(input);
    authority.closeWriteChannel();
    if (!authority.waitForFinished(authorityTimeoutMs)) {
        authority.kill();
        authority.waitForFinished();
        return -1;
    }
    if (output)
        *output = authority.readAllStandardOutput();
    return authority.exitStatus() == QProcess::NormalExit ? authority.exitCode() : -1;
}

/// What the authority reads: the user name, a zero byte, the password.
QByteArray credentialBytes(const QString& user, const QString& password)
{
    return user.toUtf8() + QByteArray(1, '\0') + password.toUtf8();
}

} // namespace

QString helperResult(const QByteArray& output)
{
    QString text = QString::fromUtf8(output);
    if (text.isEmpty())
        return {};
    // One character, even when UTF-16 needs two units for it.
    const qsizetype last = text.size() - 1;
    const bool pair = last > 0 && text.at(last).isLowSurrogate() && text.at(last - 1).isHighSurrogate();
    text.chop(pair ? 2 : 1);
    return text;
}

QStringList adminRuleEntries()
{
    return {
        QStringLiteral("allow-root=true"),
        QStringLiteral("class=user"),
        QStringLiteral("comment=Used by Tarnwick applications to run a tool as admin over the duration of the "
                       "application."),
        QStringLiteral("group=admin"),
        QStringLiteral("shared=false"),
    };
}

TaskWrapper::TaskWrapper()
    : m_extAuth(externalFormLength, '\0')
{
}

// Nothing to free: the authority's record of our form dies with this process.
TaskWrapper::~TaskWrapper() = default;

void TaskWrapper::setAdminPassword(const QString& password, const QString& userName)
{
    m_adminPassword = password;
    m_adminUser = userName;
}

void TaskWrapper::setupRight(const QString& name)
{
    if (runAuthority({QStringLiteral("exists"), name}, {}, nullptr) == 0)
        return;
    QByteArray credentials = credentialBytes(m_adminUser, m_adminPassword);
    // The status is not looked at: the grant that follows decides.
    runAuthority(QStringList{QStringLiteral("define"), name} + adminRuleEntries(), credentials, nullptr);
    credentials.fill('\0');
}

bool TaskWrapper::checkIfSudoer()
{
    setupRight(QString::fromLatin1(adminRightName));
    QByteArray credentials = credentialBytes(m_adminUser, m_adminPassword);
    QByteArray form;
    const int status = runAuthority({QStringLiteral("grant"), QString::fromLatin1(adminRightName)}, credentials, &form);
    credentials.fill('\0');
    if (status != 0 || form.size() != externalFormLength)
        return false;
    m_extAuth = form;
    return true;
}

void TaskWrapper::setArgs(const QStringList& arguments)
{
    m_arguments = arguments;
}

QString TaskWrapper::startProcessGetResult()
{
    QByteArray output;
    if (!startProcessReadingOutput([&output](const QByteArray& piece) { output += piece; }))
        return {};
    return helperResult(output);
}

bool TaskWrapper::startProcessReadingOutput(const std::function<void(const QByteArray&)>& reader)
{
    if (m_task || !trusted(helperPath()) || !trusted(resourceDirectory() + QLatin1Char('/') + workingFolderName))
        return false;
    auto task = std::make_unique<QProcess>();
    m_task = task.get();
    task->setWorkingDirectory(resourceDirectory());
    // Standard output goes to a pipe of our own, read to its end: a command
    // that leaves a job behind, (sleep 1; echo late) &, has not finished
    // printing when the helper exits, and QProcess stops reading then.
    task->setProcessChannelMode(QProcess::ForwardedChannels);
    // postqueue writes a message a write: gathering for a millisecond wakes
    // the window a few thousand times for 50,000 messages, not 50,000.
    OutputPipe output(reader, 1);
    // The form waits in the helper's input from its first instruction on.
    task->setInputChannelMode(QProcess::ForwardedInputChannel);
    InputPipe input(m_extAuth);
    task->setChildProcessModifier([toInput = input.childModifier(), toOutput = output.childModifier()] {
        toInput();
        toOutput();
    });

    // Output is drained as it comes, so the helper never blocks on a full pipe.
    bool exited = false;
    QEventLoop loop;
    const auto quitWhenDone = [&] {
        if (exited && output.atEnd())
            loop.quit();
    };
    QObject::connect(&output, &OutputPipe::endReached, &loop, quitWhenDone);
    QObject::connect(task.get(), &QProcess::finished, &loop, [&] {
        exited = true;
        quitWhenDone();
    });
    QObject::connect(task.get(), &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            exited = true;
            quitWhenDone();
        }
    });

    task->start(helperPath(), m_arguments);
    output.closeWriteEnd();
    input.closeReadEnd();
    if (!exited || !output.atEnd())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_task = nullptr;
    return true;
}

CommandRunner TaskWrapper::runner()
{
    return [this](const QStringList& arguments) {
        setArgs(arguments);
        return startProcessGetResult();
    };
}

} // namespace brevane
