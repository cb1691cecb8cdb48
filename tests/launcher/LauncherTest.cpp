// Runs the launcher built with the stand-in command table as a real process and
// drives it with real signals. The stand-in script notes each command's begin
// and end in a log; the launcher's own messages go to an output file.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;
using Env = std::map<std::string, std::string>;

const std::string kStandIn = STANDIN_SCRIPT;
// As a value in LauncherRun's environment: leave the variable out.
const std::string kUnset = "<unset>";

class LauncherRun {
public:
    // Starts the launcher with the stand-in script for all three commands;
    // `env` overrides or adds variables ("LAUNCHER_START" etc.).
    explicit LauncherRun(const std::map<std::string, std::string>& env = {}, const sigset_t* mask = nullptr)
    {
        char pattern[] = "/tmp/launcher-test-XXXXXX";
        m_dir = mkdtemp(pattern);
        std::map<std::string, std::string> vars = {{"LAUNCHER_START", kStandIn},
                                                   {"LAUNCHER_STOP", kStandIn},
                                                   {"LAUNCHER_RESTART", kStandIn},
                                                   {"STANDIN_LOG", logPath()}};
        for (const auto& [key, value] : env)
            vars[key] = value;
        spawn(vars, mask);
    }

    ~LauncherRun()
    {
        // The launcher leads its own process group: this also ends commands it left behind.
        kill(-m_pid, SIGKILL);
        if (!m_status)
            waitpid(m_pid, nullptr, 0);
        std::filesystem::remove_all(m_dir);
    }

    LauncherRun(const LauncherRun&) = delete;
    LauncherRun& operator=(const LauncherRun&) = delete;

    pid_t pid() const { return m_pid; }
    std::string dir() const { return m_dir; }
    std::string logPath() const { return m_dir + "/log"; }
    void send(int signalNumber) const { kill(m_pid, signalNumber); }

    // Exit status, or 1000 + signal number when the launcher was killed.
    std::optional<int> waitExit(std::chrono::milliseconds limit = 10s)
    {
        const auto deadline = Clock::now() + limit;
        while (!m_status) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
            else if (Clock::now() > deadline)
                break;
            else
                std::this_thread::sleep_for(10ms);
        }
        return m_status;
    }

    bool running() { return !waitExit(0ms); }

    // The log with each command's pid left off ("start begin", "start end", ...).
    Lines log() const
    {
        Lines lines;
        std::ifstream in(logPath());
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string role, event;
            words >> role >> event;
            lines.push_back(event == "begin" ? role + " " + event : line);
        }
        return lines;
    }

    pid_t commandPid(const std::string& role) const
    {
        std::ifstream in(logPath());
        for (std::string line; std::getline(in, line);) {
            if (line.rfind(role + " begin ", 0) == 0)
                return std::stoi(line.substr(role.size() + 7));
        }
        return -1;
    }

    // Waits until `line` stands in the log `times` times.
    bool waitForLog(const std::string& line, int times = 1) const
    {
        const auto deadline = Clock::now() + 10s;
        while (Clock::now() < deadline) {
            const Lines lines = log();
            if (std::count(lines.begin(), lines.end(), line) >= times)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    std::string output() const
    {
        std::ifstream in(m_dir + "/output");
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    void spawn(const std::map<std::string, std::string>& vars, const sigset_t* mask)
    {
        std::vector<std::string> envStrings;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            if (text.rfind("LAUNCHER_", 0) != 0 && text.rfind("STANDIN_", 0) != 0)
                envStrings.push_back(text);
        }
        for (const auto& [key, value] : vars) {
            if (value != kUnset)
                envStrings.push_back(key + "=" + value);
        }
        std::vector<char*> envp;
        for (std::string& text : envStrings)
            envp.push_back(text.data());
        envp.push_back(nullptr);

        const std::string output = m_dir + "/output";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        short flags = POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attributes, 0);
        if (mask) {
            flags |= POSIX_SPAWN_SETSIGMASK;
            posix_spawnattr_setsigmask(&attributes, mask);
        }
        posix_spawnattr_setflags(&attributes, flags);
        char program[] = LAUNCHER_STANDIN_BIN;
        char* argv[] = {program, nullptr};
        if (posix_spawn(&m_pid, program, &actions, &attributes, argv, envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }

    std::string m_dir;
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

const Lines kStartThenStop = {"start begin", "start end", "stop begin", "stop end"};

// utime + stime of a process, in clock ticks.
long long cpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat{std::istreambuf_iterator<char>(in), {}};
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14)
            utime = std::stoll(field);
        if (index == 15) {
            stime = std::stoll(field);
            break;
        }
    }
    return utime + stime;
}

std::vector<std::string> syscallFields(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
    std::vector<std::string> fields;
    for (std::string field; in >> field;)
        fields.push_back(field);
    return fields;
}

// True while the process sleeps in poll(2) with no timeout, or in ppoll(2)
// with no timespec.
bool blocksInPollForever(pid_t pid)
{
    const auto fields = syscallFields(pid);
    if (fields.size() < 4)
        return false;
    // poll's timeout is an int: -1 shows as 0xffffffff.
    return (fields[0] == "7" && fields[3] == "0xffffffff") || (fields[0] == "271" && fields[3] == "0x0");
}

TEST(LauncherLifecycle, StartThatReturnsAtOnceKeepsLauncherUpUntilSigterm)
{
    LauncherRun run;
    ASSERT_TRUE(run.waitForLog("start end"));
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(run.running());

    run.send(SIGTERM);
    EXPECT_EQ(run.waitExit(), 0);
    EXPECT_EQ(run.log(), kStartThenStop);
    EXPECT_EQ(run.output(), "");
}

TEST(LauncherLifecycle, StartRunningPastTheTimeoutIsKilledAndCountsAsStarted)
{
    LauncherRun run(Env{{"STANDIN_START_SLEEP", "60"}});
    ASSERT_TRUE(run.waitForLog("start begin"));
    const auto began = Clock::now();
    const pid_t command = run.commandPid("start");
    ASSERT_GT(command, 0);
    // The launcher reaps the killed command, so its pid disappears.
    while (kill(command, 0) == 0 && Clock::now() - began < 10s)
        std::this_thread::sleep_for(10ms);
    EXPECT_NE(kill(command, 0), 0) << "start command was never killed";
    EXPECT_GE(Clock::now() - began, 1500ms) << "killed before the timeout";
    EXPECT_TRUE(run.running());

    run.send(SIGTERM);
    EXPECT_EQ(run.waitExit(), 0);
    EXPECT_EQ(run.log(), (Lines{"start begin", "stop begin", "stop end"}));
}

TEST(LauncherLifecycle, SighupRunsRestartAndLauncherStaysUp)
{
    LauncherRun run;
    ASSERT_TRUE(run.waitForLog("start end"));
    run.send(SIGHUP);
    ASSERT_TRUE(run.waitForLog("restart end"));
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(run.running());
    run.send(SIGHUP);
    ASSERT_TRUE(run.waitForLog("restart end", 2));

    run.send(SIGTERM);
    EXPECT_EQ(run.waitExit(), 0);
    EXPECT_EQ(run.log(), (Lines{"start begin", "start end", "restart begin", "restart end", "restart begin",
                                "restart end", "stop begin", "stop end"}));
}

TEST(LauncherLifecycle, SignalsAfterTheFirstSigtermAreNeverActedUpon)
{
    LauncherRun run(Env{{"STANDIN_STOP_SLEEP", "1"}});
    ASSERT_TRUE(run.waitForLog("start end"));
    run.send(SIGTERM);
    ASSERT_TRUE(run.waitForLog("stop begin"));
    run.send(SIGHUP);
    std::this_thread::sleep_for(50ms);
    run.send(SIGTERM);

    EXPECT_EQ(run.waitExit(), 0);
    EXPECT_EQ(run.log(), kStartThenStop);
}

TEST(LauncherLifecycle, ExitsZeroAfterSigtermWhenTheStopCommandCannotRun)
{
    LauncherRun run(Env{{"LAUNCHER_STOP", ""}});
    ASSERT_TRUE(run.waitForLog("start end"));
    run.send(SIGTERM);
    EXPECT_EQ(run.waitExit(), 0);
    EXPECT_EQ(run.output(), "Error running stop-cmd\n");
}

TEST(LauncherLifecycle, RestartThatCannotRunIsReportedAndLauncherStaysUp)
{
    LauncherRun run(Env{{"LAUNCHER_RESTART", ""}});
    ASSERT_TRUE(run.waitForLog("start end"));
    run.send(SIGHUP);
    const auto deadline = Clock::now() + 5s;
    while (run.output().empty() && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(run.output(), "Error running restart-cmd\n");
    EXPECT_TRUE(run.running());

    run.send(SIGTERM);
    EXPECT_EQ(run.waitExit(), 0);
    EXPECT_EQ(run.log(), kStartThenStop);
}

// While a command is waited for, SIGTERM and SIGHUP wait in their queue.
TEST(LauncherChildWatch, SigtermDuringStartIsServedAfterStartReturned)
{
    LauncherRun run(Env{{"STANDIN_START_SLEEP", "1"}});
    ASSERT_TRUE(run.waitForLog("start begin"));
    run.send(SIGTERM);
    EXPECT_EQ(run.waitExit(), 0);
    EXPECT_EQ(run.log(), kStartThenStop);
}

TEST(LauncherChildWatch, QueuedSighupThenSigtermAreServedInOrder)
{
    LauncherRun run(Env{{"STANDIN_START_SLEEP", "1"}});
    ASSERT_TRUE(run.waitForLog("start begin"));
    run.send(SIGHUP);
    std::this_thread::sleep_for(100ms);
    run.send(SIGTERM);
    EXPECT_EQ(run.waitExit(), 0);
    EXPECT_EQ(run.log(),
              (Lines{"start begin", "start end", "restart begin", "restart end", "stop begin", "stop end"}));
}

TEST(LauncherChildWatch, QueuedSighupAfterSigtermIsDropped)
{
    LauncherRun run(Env{{"STANDIN_START_SLEEP", "1"}});
    ASSERT_TRUE(run.waitForLog("start begin"));
    run.send(SIGTERM);
    std::this_thread::sleep_for(100ms);
    run.send(SIGHUP);
    EXPECT_EQ(run.waitExit(), 0);
    EXPECT_EQ(run.log(), kStartThenStop);
}

TEST(LauncherStartFailure, EmptyProgramPathExitsTwoWithoutRunningAnything)
{
    LauncherRun run(Env{{"LAUNCHER_START", ""}});
    EXPECT_EQ(run.waitExit(), 2);
    EXPECT_EQ(run.output(), "Error running start-cmd.\n");
    EXPECT_FALSE(std::filesystem::exists(run.logPath())) << "a command ran";
}

TEST(LauncherStartFailure, MissingProgramExitsTwoWithoutRunningAnything)
{
    LauncherRun run(Env{{"LAUNCHER_START", kUnset}});
    EXPECT_EQ(run.waitExit(), 2);
    EXPECT_EQ(run.output(), "Error running start-cmd.\n");
    EXPECT_FALSE(std::filesystem::exists(run.logPath())) << "a command ran";
}

TEST(LauncherStartFailure, ProgramThatCannotBeExecutedIsReportedAndLauncherCarriesOn)
{
    char pattern[] = "/tmp/launcher-test-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string notExecutable = dir + "/not-executable";
    std::ofstream(notExecutable) << "#!/bin/sh\n";
    chmod(notExecutable.c_str(), 0644);

    for (const std::string& program : {dir + "/missing", notExecutable}) {
        LauncherRun run(Env{{"LAUNCHER_START", program}});
        const auto deadline = Clock::now() + 5s;
        while (run.output().empty() && Clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(run.output(), "Cannot launch process " + program + ".\n");
        std::this_thread::sleep_for(100ms);
        EXPECT_TRUE(run.running()) << program;

        run.send(SIGTERM);
        EXPECT_EQ(run.waitExit(), 0) << program;
        EXPECT_EQ(run.log(), (Lines{"stop begin", "stop end"})) << program;
    }
    std::filesystem::remove_all(dir);
}

TEST(LauncherCommands, RunWithStdinFromDevNullAndNoBlockedSignals)
{
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR2);
    sigaddset(&blocked, SIGINT);
    LauncherRun run(Env{{"STANDIN_PROBE", "1"}}, &blocked);
    ASSERT_TRUE(run.waitForLog("start end"));
    run.send(SIGTERM);
    EXPECT_EQ(run.waitExit(), 0);

    const Lines log = run.log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[1], "start stdin /dev/null");
    EXPECT_EQ(log[2], "start SigBlk: 0000000000000000");
}

TEST(LauncherIdle, SleepsInPollWithoutTimeoutAndUsesNoCpu)
{
    LauncherRun run;
    ASSERT_TRUE(run.waitForLog("start end"));
    const auto deadline = Clock::now() + 5s;
    while (!blocksInPollForever(run.pid()) && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    const auto fields = syscallFields(run.pid());
    ASSERT_TRUE(blocksInPollForever(run.pid())) << (fields.empty() ? "no syscall" : fields[0]);

    const long long before = cpuTicks(run.pid());
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(cpuTicks(run.pid()), before);
    EXPECT_TRUE(blocksInPollForever(run.pid()));

    run.send(SIGTERM);
    EXPECT_EQ(run.waitExit(), 0);
}

} // namespace
