#include "Supervisor.h"

#include "JobStore.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace brevane::launchd {
namespace {

// How long a job may take to honour SIGTERM before it is killed.
constexpr int kExitTimeoutSeconds = 20;
// How long launchctl waits for a supervisor that should itself end within
// the timeout above; only a wedged supervisor ever reaches it.
constexpr int kSupervisorGraceSeconds = kExitTimeoutSeconds + 10;

constexpr char kReadyStarted = 'S';
constexpr char kReadyLoaded = 'L';

sigset_t supervisedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : { SIGCHLD, SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2 })
        sigaddset(&set, signal);
    return set;
}

void tell(int readyFd, char what)
{
    while (::write(readyFd, &what, 1) < 0 && errno == EINTR) { }
    ::close(readyFd);
}

// Standard input from /dev/null, output and errors to the job's log; every
// other descriptor the caller had (its output pipe above all) is closed, or
// whoever reads launchctl's output would wait for the job to end.
int detachDescriptors(const std::string& label, int readyFd)
{
    if (readyFd != 3) {
        ::dup2(readyFd, 3);
        readyFd = 3;
    }
    ::close_range(4, ~0U, 0);
    const int null = ::open("/dev/null", O_RDWR);
    makeDirectories(kLogDir);
    int log = ::open(logPath(label).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log < 0)
        log = null;
    ::dup2(null, 0);
    ::dup2(log, 1);
    ::dup2(log, 2);
    if (log > 3)
        ::close(log);
    if (null > 3)
        ::close(null);
    ::fcntl(readyFd, F_SETFD, FD_CLOEXEC);
    return readyFd;
}

// Held for the supervisor's whole life; launchctl reads the holder's pid
// with F_GETLK, which cannot name a recycled process id.
bool takeJobLock(const std::string& label)
{
    if (!makeDirectories(kStateDir))
        return false;
    const int fd = ::open(lockPath(label).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    struct flock lock { };
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_SETLK, &lock) == 0;
}

[[noreturn]] void execJob(const JobSpec& job, int execPipe)
{
    ::setpgid(0, 0);
    for (int signal : { SIGCHLD, SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2, SIGPIPE })
        ::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    std::vector<char*> argv;
    for (const auto& argument : job.programArguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    (void)!::write(execPipe, "x", 1);
    const std::string message = "launchctl: " + job.label + ": cannot run " + job.programArguments.front() + ": "
        + std::strerror(errno) + "\n";
    (void)!::write(2, message.data(), message.size());
    ::_exit(127);
}

std::time_t monotonicSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec;
}

// Waits for the job, turning a SIGTERM into the launchd stop sequence.
// SIGCHLD stays blocked between waitpid and sigtimedwait, so an end that
// comes in between is still pending and never missed.
int superviseUntilEnd(pid_t job)
{
    const sigset_t set = supervisedSignals();
    bool terminating = false;
    std::time_t deadline = 0;
    int waitStatus = 0;
    for (;;) {
        const pid_t ended = ::waitpid(job, &waitStatus, WNOHANG);
        if (ended == job || (ended < 0 && errno != EINTR))
            break;
        timespec remaining { 1, 0 };
        if (terminating) {
            remaining.tv_sec = std::max<std::time_t>(deadline - monotonicSeconds(), 0);
            if (remaining.tv_sec == 0) {
                ::kill(-job, SIGKILL);
                ::kill(job, SIGKILL);
                remaining.tv_sec = 1;
            }
        }
        const int signal = ::sigtimedwait(&set, nullptr, terminating ? &remaining : nullptr);
        if (signal == SIGTERM && !terminating) {
            terminating = true;
            deadline = monotonicSeconds() + kExitTimeoutSeconds;
            ::kill(job, SIGTERM);
        }
    }
    if (terminating)
        ::kill(-job, SIGKILL); // what the job left behind in its process group
    return waitStatus;
}

[[noreturn]] void runSupervisor(const JobSpec& job, const std::string& plistPath, int readyFd)
{
    ::umask(022);
    if (::chdir("/") != 0)
        ::_exit(1);
    readyFd = detachDescriptors(job.label, readyFd);
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGCHLD, SIG_DFL); // an inherited SIG_IGN would reap the job behind our back
    const sigset_t set = supervisedSignals();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    if (!takeJobLock(job.label) || readRecord(job.label)) {
        tell(readyFd, kReadyLoaded);
        ::_exit(0);
    }
    // Closed by a successful exec: the recorded pid is then the job's
    // program, never a copy of launchctl still on its way to exec.
    int execPipe[2];
    if (::pipe2(execPipe, O_CLOEXEC) != 0)
        ::_exit(1);
    const pid_t child = ::fork();
    if (child < 0)
        ::_exit(1);
    if (child == 0)
        execJob(job, execPipe[1]);
    ::setpgid(child, child);
    ::close(execPipe[1]);
    char ignored;
    while (::read(execPipe[0], &ignored, 1) < 0 && errno == EINTR) { }
    ::close(execPipe[0]);
    JobRecord record { job.label, long(child), std::nullopt, plistPath };
    writeRecord(record);
    tell(readyFd, kReadyStarted);
    const int waitStatus = superviseUntilEnd(child);
    record.pid = 0;
    record.lastStatus = statusFromWait(waitStatus);
    writeRecord(record);
    ::_exit(0);
}

bool waitForSupervisorEnd(const std::string& label, int seconds)
{
    const timespec pause { 0, 20 * 1000 * 1000 };
    for (long tries = long(seconds) * 50; tries > 0; --tries) {
        if (lockHolder(label) == 0)
            return true;
        ::nanosleep(&pause, nullptr);
    }
    return lockHolder(label) == 0;
}

} // namespace

StartResult startJob(const JobSpec& job, const std::string& plistPath)
{
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return StartResult::Failed;
    const pid_t first = ::fork();
    if (first < 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return StartResult::Failed;
    }
    if (first == 0) {
        ::close(ready[0]);
        ::setsid();
        const pid_t second = ::fork();
        if (second == 0)
            runSupervisor(job, plistPath, ready[1]);
        ::_exit(second < 0 ? 1 : 0);
    }
    ::close(ready[1]);
    int status = 0;
    while (::waitpid(first, &status, 0) < 0 && errno == EINTR) { }
    char answer = 0;
    ssize_t got;
    while ((got = ::read(ready[0], &answer, 1)) < 0 && errno == EINTR) { }
    ::close(ready[0]);
    if (got == 1 && answer == kReadyStarted)
        return StartResult::Started;
    if (got == 1 && answer == kReadyLoaded)
        return StartResult::AlreadyLoaded;
    return StartResult::Failed;
}

bool stopJob(const std::string& label)
{
    const auto record = readRecord(label);
    if (!record)
        return false;
    if (const long supervisor = lockHolder(label); supervisor > 0) {
        ::kill(pid_t(supervisor), SIGTERM);
        if (!waitForSupervisorEnd(label, kSupervisorGraceSeconds)) {
            ::kill(pid_t(supervisor), SIGKILL);
            if (record->pid > 0)
                ::kill(-pid_t(record->pid), SIGKILL);
            waitForSupervisorEnd(label, 5);
        }
    }
    removeRecord(label);
    return true;
}

} // namespace brevane::launchd
