#include "privileged/TaskWrapper.h"

#include "privileged/BoundedOutput.h"
#include "privileged/InputPipe.h"
#include "privileged/OutputPipe.h"
#include "shell/ResourcePaths.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

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

/// One run of the helper: the form on its standard input, its standard
/// output drained into `reader` as it comes, so it never blocks on a full
/// pipe. `finished` is called from the event loop, never from within the
/// constructor or a signal of the run's own, once the helper has exited and
/// every writer of the output is done.
class HelperRun {
public:
    HelperRun(const QStringList& arguments, const QByteArray& form, std::function<void(const QByteArray&)> reader,
              std::function<void()> finished, int gatherMs = 0)
        : m_output(std::move(reader), gatherMs)
        , m_input(form)
        , m_finished(std::move(finished))
    {
        m_process.setWorkingDirectory(resourceDirectory());
        // Standard output goes to a pipe of our own, read to its end: a command
        // that leaves a job behind, (sleep 1; echo late) &, has not finished
        // printing when the helper exits, and QProcess stops reading then.
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        // The form waits in the helper's input from its first instruction on.
        m_process.setInputChannelMode(QProcess::ForwardedInputChannel);
        m_process.setChildProcessModifier([toInput = m_input.childModifier(), toOutput = m_output.childModifier()] {
            toInput();
            toOutput();
        });
        QObject::connect(&m_output, &OutputPipe::endReached, &m_output, [this] { finishIfDone(); });
        QObject::connect(&m_process, &QProcess::finished, &m_output, [this] {
            m_exited = true;
            finishIfDone();
        });
        QObject::connect(&m_process, &QProcess::errorOccurred, &m_output, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                m_exited = true;
                finishIfDone();
            }
        });
        m_process.start(helperPath(), arguments);
        m_output.closeWriteEnd();
        m_input.closeReadEnd();
    }

    bool isDone() const { return m_exited && m_output.atEnd(); }

private:
    void finishIfDone()
    {
        if (!isDone() || m_reported)
            return;
        m_reported = true;
        QTimer::singleShot(0, &m_output, m_finished);
    }

    QProcess m_process;
    OutputPipe m_output;
    InputPipe m_input;
    std::function<void()> m_finished;
    bool m_exited = false;
    bool m_reported = false;
};

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

// The authority's record of our form dies with this process; a background
// run still going is ended with it.
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
    BoundedOutput output(keptHeadBytes, keptTailBytes);
    if (!startProcessReadingOutput([&output](const QByteArray& piece) { output.append(piece); }))
        return {};
    return helperResult(output.bytes());
}

bool TaskWrapper::helperIsTrusted() const
{
    return trusted(helperPath()) && trusted(resourceDirectory() + QLatin1Char('/') + workingFolderName);
}

bool TaskWrapper::startProcessReadingOutput(const std::function<void(const QByteArray&)>& reader)
{
    if (m_task || !helperIsTrusted())
        return false;
    QEventLoop loop;
    // postqueue writes a message a write: gathering for a millisecond wakes
    // the window a few thousand times for 50,000 messages, not 50,000.
    HelperRun run(m_arguments, m_extAuth, reader, [&loop] { loop.quit(); }, 1);
    m_task = &run;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_task = nullptr;
    return true;
}

bool TaskWrapper::startBackgroundRun(const QStringList& arguments, qsizetype headBytes, qsizetype tailBytes,
                                     std::function<void(const QString&)> done)
{
    if (m_background || !helperIsTrusted())
        return false;
    auto output = std::make_shared<BoundedOutput>(headBytes, tailBytes);
    m_background = std::make_unique<HelperRun>(
        arguments, m_extAuth, [output](const QByteArray& piece) { output->append(piece); },
        [this, output, done = std::move(done)] {
            // Freed once this call, made with the run as its context, is over.
            QTimer::singleShot(0, [run = m_background.release()] { delete run; });
            done(helperResult(output->bytes()));
        });
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
