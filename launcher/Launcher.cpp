// The launcher behind a launchd job whose service detaches itself. It runs the
// service's start command, then sleeps until launchd signals it: SIGTERM runs
// the stop command and ends the launcher, SIGHUP runs the restart command.
//
// Built once per service; the command table (startArgs, stopArgs, restartArgs)
// comes from the header named by LAUNCHER_COMMANDS_HEADER.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <initializer_list>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include LAUNCHER_COMMANDS_HEADER

#ifndef LAUNCHER_CHILD_DEATH_TIMEOUT
#define LAUNCHER_CHILD_DEATH_TIMEOUT 20
#endif

namespace {

// The run loop's modes: in ChildWatch, used while a command is waited for, only
// the child channel is served, so SIGTERM and SIGHUP stay queued until it is over.
enum class RunLoopMode { Default, ChildWatch };

// A self-pipe: the handler writes the signal number, the run loop reads it.
struct SignalChannel {
    int readEnd = -1;
    int writeEnd = -1;
};

constexpr int kChildDeathTimeout = LAUNCHER_CHILD_DEATH_TIMEOUT; // seconds
// After SIGKILL the child normally dies at once; this only bounds the wait
// between kill attempts for one stuck in the kernel.
constexpr int kKillRetryMilliseconds = 100;

// 0: nothing running; -1: started and detached; otherwise a watched child.
pid_t runningPid = 0;
int terminating = 0;

SignalChannel childChannel;
SignalChannel genericChannel;
// The write ends the handlers post to (-1 when not set up).
volatile sig_atomic_t sigChild_m_port = -1;
volatile sig_atomic_t sigGeneric_m_port = -1;

int Start();
int Stop();
int Restart();

void postSignal(int port, int signalNumber)
{
    if (port < 0)
        return;
    const int savedErrno = errno;
    const auto id = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = write(port, &id, 1);
    errno = savedErrno;
}

extern "C" void handle_child_signal(int signalNumber)
{
    postSignal(sigChild_m_port, signalNumber);
}

extern "C" void handle_generic_signal(int signalNumber)
{
    postSignal(sigGeneric_m_port, signalNumber);
}

bool openChannel(SignalChannel& channel)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    channel.readEnd = ends[0];
    channel.writeEnd = ends[1];
    return true;
}

void closeChannel(SignalChannel& channel)
{
    if (channel.readEnd >= 0)
        close(channel.readEnd);
    if (channel.writeEnd >= 0)
        close(channel.writeEnd);
    channel = SignalChannel{};
}

void setHandler(int signalNumber, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

long long monotonicMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SignalCallback(int id)
{
    if (terminating)
        return;
    if (id == SIGHUP) {
        Restart();
    } else if (id == SIGTERM) {
        terminating = 1;
        Stop();
    }
    // Anything else (SIGCHLD) only woke the loop.
}

// Sleeps until a channel that the mode serves holds a message, or until the
// timeout (milliseconds, negative for none) has passed; hands at most one
// message to SignalCallback, so queued ones keep their order.
void RunLoopRunOnce(RunLoopMode mode, int timeoutMilliseconds)
{
    const long long deadline = monotonicMilliseconds() + timeoutMilliseconds;
    pollfd sources[2] = {
        {childChannel.readEnd, POLLIN, 0},
        {mode == RunLoopMode::Default ? genericChannel.readEnd : -1, POLLIN, 0},
    };
    int timeout = timeoutMilliseconds;
    while (poll(sources, 2, timeout) < 0) {
        if (errno != EINTR)
            return;
        if (timeoutMilliseconds >= 0) {
            const long long left = deadline - monotonicMilliseconds();
            timeout = left > 0 ? static_cast<int>(left) : 0;
        }
    }
    for (const pollfd& source : sources) {
        unsigned char id = 0;
        if ((source.revents & POLLIN) && read(source.fd, &id, 1) == 1) {
            SignalCallback(id);
            return;
        }
    }
}

void ProcessChildDeath(pid_t pid)
{
    if (runningPid != 0 && runningPid != -1 && runningPid == pid) {
        printf("Process id %d has died.\n", static_cast<int>(pid));
        runningPid = 0;
    }
}

void WaitChildDeath(pid_t pid)
{
    const long long deadline = monotonicMilliseconds() + kChildDeathTimeout * 1000LL;
    for (;;) {
        int status = 0;
        const pid_t waited = waitpid(pid, &status, WNOHANG);
        if (waited < 0 && errno == EINTR)
            continue;
        if (waited != 0)
            break; // ended, or no such child to wait for
        const long long remaining = deadline - monotonicMilliseconds();
        if (remaining > 0) {
            RunLoopRunOnce(RunLoopMode::ChildWatch, static_cast<int>(remaining));
        } else {
            if (kill(pid, SIGKILL) != 0)
                printf("Cannot kill process %d.\n", static_cast<int>(pid));
            RunLoopRunOnce(RunLoopMode::ChildWatch, kKillRetryMilliseconds);
        }
    }
    ProcessChildDeath(pid);
}

// In the forked child: undo the launcher's signal set-up, read from /dev/null
// and become the program.
[[noreturn]] void runChild(const char* const* args)
{
    for (const int signalNumber : {SIGTERM, SIGHUP, SIGCHLD})
        signal(signalNumber, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull < 0)
        _exit(1);
    if (devNull != STDIN_FILENO) {
        dup2(devNull, STDIN_FILENO);
        close(devNull);
    }
    execvp(args[0], const_cast<char* const*>(args));
    printf("Cannot launch process %s.\n", args[0]);
    _exit(1);
}

// Runs a command vector. With wait set, returns 0 once the command has ended
// (or was killed); without, the child's pid. -1 when nothing could be run.
pid_t Exec(const char* const* args, bool wait)
{
    if (args == nullptr || args[0] == nullptr || args[0][0] == '\0')
        return -1;

    // Blocked across fork so the child never posts into the launcher's pipes.
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    const pid_t pid = fork();
    if (pid == 0)
        runChild(args);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0) {
        printf("Cannot fork child process %s.\n", args[0]);
        return -1;
    }
    if (!wait)
        return pid;
    WaitChildDeath(pid);
    return 0;
}

int Start()
{
    if (Exec(startArgs, true) == -1) {
        printf("Error running start-cmd.\n");
        return 2;
    }
    runningPid = -1;
    return 0;
}

int Stop()
{
    if (Exec(stopArgs, true) == -1) {
        printf("Error running stop-cmd\n");
        return 2;
    }
    runningPid = 0;
    return 0;
}

int Restart()
{
    if (Exec(restartArgs, true) == -1) {
        printf("Error running restart-cmd\n");
        return 2;
    }
    return 0;
}

int Loop()
{
    if (!openChannel(childChannel) || !openChannel(genericChannel)) {
        printf("Cannot create signal pipes.\n");
        closeChannel(childChannel);
        return 2;
    }
    sigChild_m_port = childChannel.writeEnd;
    sigGeneric_m_port = genericChannel.writeEnd;
    setHandler(SIGCHLD, handle_child_signal);
    setHandler(SIGTERM, handle_generic_signal);
    setHandler(SIGHUP, handle_generic_signal);

    const int result = Start();
    if (result == 0) {
        while (!terminating && runningPid != 0)
            RunLoopRunOnce(RunLoopMode::Default, -1);
    }

    for (const int signalNumber : {SIGTERM, SIGHUP, SIGCHLD})
        signal(signalNumber, SIG_DFL);
    sigChild_m_port = -1;
    sigGeneric_m_port = -1;
    closeChannel(childChannel);
    closeChannel(genericChannel);
    return result;
}

} // namespace

int main()
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    return Loop();
}
