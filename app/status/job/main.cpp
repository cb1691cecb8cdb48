// brevane-status: the watch job. Runs the Status tab's checks once, keeps
// the result in a state file the tab reads, and mails postmaster when a
// check changes state. Root reads only what needs root (the service probes
// and the certificate files); the queue listing, the free space and the mail
// run as nobody.
#include "certificates/CertificateCheck.h"
#include "postfix/ServiceHealth.h"
#include "postfix/ServiceRules.h"
#include "status/AlertMail.h"
#include "status/MailServices.h"
#include "status/StatusChecks.h"
#include "status/StatusState.h"
#include "status/job/Privileges.h"
#include "status/job/StateFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brevane;
using namespace brevane::status;

namespace {

constexpr int probeMs = 15000;
constexpr int unprivilegedMs = 40000; // above the queue and space checks' own limits
const QString defaultStatePath = QStringLiteral("/var/lib/brevane-watch/status.json");

void say(const QString& line)
{
    std::fprintf(stderr, "brevane-status: %s\n", qPrintable(line));
}

// A fixed probe as root; its output, or "" when it hangs.
QString probe(const QString& commandLine)
{
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), commandLine });
    if (!process.waitForFinished(probeMs)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QList<Check> only(const QList<Check>& checks, const QStringList& ids)
{
    QList<Check> kept;
    for (const Check& check : checks)
        if (ids.contains(check.id))
            kept.append(check);
    return kept;
}

const QStringList rootChecks { QStringLiteral("services"), QStringLiteral("certificates") };
const QStringList userChecks { QStringLiteral("queue"), QStringLiteral("space") };

QList<Outcome> runAsRoot()
{
    StatusInputs inputs;
    const ServiceProbes probes { probe(services::postfixHealthProbe()), probe(services::fetchmailHealthProbe()),
        probe(QStringLiteral("/bin/launchctl list")) };
    inputs.services = mailServiceFacts(probes, services::isPortOpen);
    // As the window does: no file at all is "none installed", not three unreadable ones.
    const QStringList& paths = services::certificatePaths();
    inputs.certificates
        = std::any_of(paths.cbegin(), paths.cend(), [](const QString& path) { return QFileInfo::exists(path); })
        ? certificates::parseProbe(probe(certificates::probeCommand()))
        : QList<certificates::CertificateFacts> {};
    return status::runChecks(only(statusChecks(inputs), rootChecks));
}

// The child's part: its outcomes through the pipe, in the state file's form.
[[noreturn]] void runAsNobody(int out)
{
    if (!job::dropToNobody())
        ::_exit(3);
    int argc = 1;
    char name[] = "brevane-status";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);
    JobState state;
    for (const Outcome& outcome : status::runChecks(only(statusChecks({}), userChecks)))
        state.checks.append({ outcome, {} });
    const QByteArray bytes = writeJobState(state);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(out, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            ::_exit(4);
        done += n;
    }
    ::_exit(0);
}

QByteArray readChild(int in, pid_t child)
{
    QByteArray bytes;
    const qint64 end = QDateTime::currentMSecsSinceEpoch() + unprivilegedMs;
    for (qint64 left = unprivilegedMs; left > 0; left = end - QDateTime::currentMSecsSinceEpoch()) {
        pollfd pfd { in, POLLIN, 0 };
        if (::poll(&pfd, 1, int(left)) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.append(buffer, n);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return bytes;
}

QList<Outcome> unprivilegedOutcomes(const QByteArray& bytes)
{
    const StateRead read = readJobState(bytes);
    QList<Outcome> outcomes;
    if (read.state)
        for (const CheckRecord& record : read.state->checks)
            outcomes.append(record.outcome);
    if (outcomes.size() == userChecks.size())
        return outcomes;
    const Result lost { State::Red, QStringLiteral("The part of the watch job that runs as nobody gave no answer."),
        QStringLiteral("An answer from each check."),
        QStringLiteral("Run brevane-status --once as root and read what it says.") };
    return { { userChecks.at(0), QStringLiteral("Mail queue"), lost },
        { userChecks.at(1), QStringLiteral("Free space"), lost } };
}

bool sendAlert(const Alert& alert)
{
    const QStringList arguments = sendmailArguments();
    QProcess sendmail;
    sendmail.setChildProcessModifier([] {
        if (!job::dropToNobody())
            ::_exit(127);
    });
    sendmail.start(arguments.first(), arguments.mid(1));
    if (!sendmail.waitForStarted(probeMs))
        return false;
    sendmail.write(alertMail(alert, QSysInfo::machineHostName(), QDateTime::currentDateTimeUtc()));
    sendmail.closeWriteChannel();
    return sendmail.waitForFinished(probeMs) && sendmail.exitStatus() == QProcess::NormalExit
        && sendmail.exitCode() == 0;
}

int usage()
{
    say(QStringLiteral("usage: brevane-status --once [--state FILE]"));
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QString statePath = defaultStatePath;
    bool once = false;
    for (int i = 1; i < argc; ++i) {
        const QString word = QString::fromLocal8Bit(argv[i]);
        if (word == QLatin1String("--once"))
            once = true;
        else if (word == QLatin1String("--state") && i + 1 < argc)
            statePath = QString::fromLocal8Bit(argv[++i]);
        else
            return usage();
    }
    if (!once)
        return usage();
    if (::geteuid() != 0) {
        say(QStringLiteral("must run as root: the services and certificates are root's to read"));
        return 2;
    }
    // The child is made before any thread exists, so it holds no lock another
    // thread had taken.
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return 1;
    const pid_t child = ::fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        ::close(pipeFds[0]);
        runAsNobody(pipeFds[1]);
    }
    ::close(pipeFds[1]);
    QCoreApplication app(argc, argv);
    QList<Outcome> outcomes = runAsRoot();
    outcomes += unprivilegedOutcomes(readChild(pipeFds[0], child));

    std::optional<JobState> previous;
    if (const auto bytes = job::readStateFile(statePath)) {
        const StateRead read = readJobState(*bytes);
        if (!read.state)
            say(read.error + QStringLiteral(" Starting afresh."));
        previous = read.state;
    }
    JobRound round = jobRound(previous, outcomes, QDateTime::currentSecsSinceEpoch());
    int sent = 0;
    for (const Alert& alert : round.alerts) {
        if (sendAlert(alert))
            ++sent;
        else {
            say(QStringLiteral("could not mail postmaster about %1; trying again next run").arg(alert.outcome.id));
            keepUnsent(round.next, alert);
        }
    }
    const QString error = job::writeStateFile(statePath, writeJobState(round.next));
    if (!error.isEmpty()) {
        say(error);
        return 1;
    }
    int failing = 0;
    for (const Outcome& outcome : outcomes)
        failing += outcome.result.state != State::Green;
    std::printf("%d checks, %d not OK, %d mails sent\n", int(outcomes.size()), failing, sent);
    return 0;
}
