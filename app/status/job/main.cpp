// brevane-status: the watch job. Runs the Status tab's checks once, with the
// settings the window handed it, keeps the result in a state file the tab
// reads, and mails postmaster when a check changes state.
//
// Root does only what needs root: the service probes, the certificate files,
// and the probes through a namespace vantage ("ip netns exec" needs root).
// The queue, the free space, the DNS and block-list lookups, the probes
// through an ssh vantage and the mail run as nobody. An ssh vantage never
// runs as root: the vantage's own options name files (UserKnownHostsFile,
// IdentityFile) that ssh would read and append to as whoever runs it. As
// nobody it has no keys or known hosts of its own, so the administrator
// names both in the vantage, e.g. "ssh -o IdentityFile=/etc/brevane-watch/key
// -o UserKnownHostsFile=/etc/brevane-watch/known_hosts probe@other.example",
// with a key made for this alone and allowed, on the other host, only to an
// account that may do nothing else.
#include "certificates/CertificateCheck.h"
#include "postfix/ServiceHealth.h"
#include "postfix/ServiceRules.h"
#include "status/AlertMail.h"
#include "status/MailServices.h"
#include "status/StatusChecks.h"
#include "status/StatusState.h"
#include "status/job/JobSettings.h"
#include "status/job/Privileges.h"
#include "status/job/StateFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
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
using job::SettingsRead;

namespace {

constexpr int probeMs = 15000;
constexpr int unprivilegedMs = 70000; // above the longest time limit of the checks it runs
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

// What needs root: the services, the certificates, and a probe through a
// network namespace.
bool needsRoot(const QString& id, const StatusInputs& inputs)
{
    if (id == QLatin1String("services") || id == QLatin1String("certificates"))
        return true;
    return id.startsWith(QLatin1String("outside-")) && readVantage(inputs.outside.vantage).command.value(0) == u"ip";
}

// Without the window's settings the job knows no domains, vantage or
// address: it keeps to what it can judge on its own.
QList<Check> jobChecks(const StatusInputs& inputs, bool settled)
{
    static const QStringList local { QStringLiteral("services"), QStringLiteral("certificates"),
        QStringLiteral("queue"), QStringLiteral("space") };
    QList<Check> checks = statusChecks(inputs);
    if (!settled)
        checks.removeIf([](const Check& check) { return !local.contains(check.id); });
    return checks;
}

QList<Check> part(const QList<Check>& checks, const StatusInputs& inputs, bool root)
{
    QList<Check> kept;
    for (const Check& check : checks)
        if (needsRoot(check.id, inputs) == root)
            kept.append(check);
    return kept;
}

StatusInputs withRootProbes(StatusInputs inputs)
{
    const ServiceProbes probes { probe(services::postfixHealthProbe()), probe(services::fetchmailHealthProbe()),
        probe(QStringLiteral("/bin/launchctl list")) };
    inputs.services = mailServiceFacts(probes, services::isPortOpen);
    // As the window does: no file at all is "none installed", not three unreadable ones.
    const QStringList& paths = services::certificatePaths();
    inputs.certificates
        = std::any_of(paths.cbegin(), paths.cend(), [](const QString& path) { return QFileInfo::exists(path); })
        ? certificates::parseProbe(probe(certificates::probeCommand()))
        : QList<certificates::CertificateFacts> {};
    return inputs;
}

// The child's part: its outcomes through the pipe, in the state file's form.
[[noreturn]] void runAsNobody(int out, const StatusInputs& inputs, bool settled)
{
    if (!job::dropToNobody())
        ::_exit(3);
    int argc = 1;
    char name[] = "brevane-status";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);
    JobState state;
    for (const Outcome& outcome : status::runChecks(part(jobChecks(inputs, settled), inputs, false)))
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

// Every check in the engine's order: root's own outcomes, the child's where
// it answered, and a red row for each it did not.
QList<Outcome> merged(const QList<Check>& checks, const QList<Outcome>& root, const QByteArray& childBytes)
{
    QHash<QString, Outcome> answered;
    for (const Outcome& outcome : root)
        answered.insert(outcome.id, outcome);
    if (const StateRead read = readJobState(childBytes); read.state)
        for (const CheckRecord& record : read.state->checks)
            if (!answered.contains(record.outcome.id))
                answered.insert(record.outcome.id, record.outcome);
    const Result lost { State::Red, QStringLiteral("The part of the watch job that runs as nobody gave no answer."),
        QStringLiteral("An answer from each check."),
        QStringLiteral("Run brevane-status --once as root and read what it says.") };
    QList<Outcome> outcomes;
    for (const Check& check : checks)
        outcomes.append(answered.value(check.id, { check.id, check.title, lost }));
    return outcomes;
}

// The settings the window handed over, or why they are refused; neither
// while the window has handed none.
SettingsRead loadSettings(const QString& path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return {};
    const auto bytes = job::readStateFile(path, 1 << 20, true);
    if (!bytes)
        return { std::nullopt,
            QStringLiteral("The watch job's settings %1 are refused: not a plain file of root's that only root may "
                           "change.")
                .arg(path) };
    return job::readJobSettings(*bytes);
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

// For the install script: the settings it is about to put in place, read as
// the job will read them.
int checkSettings(const QString& path)
{
    const auto bytes = job::readStateFile(path);
    const SettingsRead read
        = bytes ? job::readJobSettings(*bytes) : SettingsRead { std::nullopt, QStringLiteral("cannot read ") + path };
    if (!read.settings) {
        std::printf("%s\n", qPrintable(read.error));
        return 2;
    }
    std::printf("SETTINGS OK\n");
    return 0;
}

int usage()
{
    say(QStringLiteral("usage: brevane-status --once [--state FILE] [--settings FILE] | --check-settings FILE"));
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QString statePath = defaultStatePath;
    QString settingsPath = QLatin1String(job::settingsPath);
    bool once = false;
    for (int i = 1; i < argc; ++i) {
        const QString word = QString::fromLocal8Bit(argv[i]);
        if (word == QLatin1String("--once"))
            once = true;
        else if (word == QLatin1String("--state") && i + 1 < argc)
            statePath = QString::fromLocal8Bit(argv[++i]);
        else if (word == QLatin1String("--settings") && i + 1 < argc)
            settingsPath = QString::fromLocal8Bit(argv[++i]);
        else if (word == QLatin1String("--check-settings") && i + 2 == argc)
            return checkSettings(QString::fromLocal8Bit(argv[++i]));
        else
            return usage();
    }
    if (!once)
        return usage();
    if (::geteuid() != 0) {
        say(QStringLiteral("must run as root: the services and certificates are root's to read"));
        return 2;
    }
    const SettingsRead settings = loadSettings(settingsPath);
    if (!settings.error.isEmpty())
        say(settings.error + QStringLiteral(" Checking without them."));
    const StatusInputs inputs = settings.settings ? job::withJobSettings({}, *settings.settings) : StatusInputs {};
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
        runAsNobody(pipeFds[1], inputs, settings.settings.has_value());
    }
    ::close(pipeFds[1]);
    QCoreApplication app(argc, argv);
    const StatusInputs probed = withRootProbes(inputs);
    const QList<Check> checks = jobChecks(probed, settings.settings.has_value());
    const QList<Outcome> root = status::runChecks(part(checks, probed, true));
    QList<Outcome> outcomes = merged(checks, root, readChild(pipeFds[0], child));
    // A refused file is the administrator's to hear of, not only the log's.
    if (!settings.error.isEmpty())
        outcomes.append({ QStringLiteral("settings"), QStringLiteral("Watch job settings"),
            { State::Yellow, settings.error, QStringLiteral("Settings the window handed over."),
                QStringLiteral("Turn the watch job off and on again on the Status tab.") } });

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
