// What the administrator waits for, through the real path: the installed
// setuid helper after a real PAM login, the real launchd stand-in, the real
// Postfix. Every Brevane figure has its floor beside it, measured in the same
// run: the same work done without the window (Postfix's own commands, one
// root run of the same reads, the probes alone). Postfix counts as started
// when port 25 answers, for Brevane and the floor alike.
//
// Runs as the administrator inside the sandbox: tests/bench/real-path.sh.

#include "certificates/CertificateCheck.h"
#include "postfix/PostfixSettings.h"
#include "postfix/ServiceRules.h"
#include "postfix/SmartHosts.h"
#include "privileged/TaskWrapper.h"
#include "shell/StartupRules.h"
#include "shell/TextHelpers.h"
#include "shell/WindowController.h"
#include "ui_LoginPanel.h"
#include "ui_MainWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace brevane;

namespace {

const QString configDir = QStringLiteral("/usr/local/tarnwick/postfix/etc");
constexpr int smtpPort = 25;
constexpr int portWaitMs = 20'000;

WindowController* window = nullptr;

QString runRoot(const QString& line)
{
    return window->runShell(line);
}

/// Polls until port 25 is as wanted; false after the time limit.
bool waitForSmtp(bool open)
{
    QElapsedTimer timer;
    timer.start();
    while (services::isPortOpen(smtpPort) != open) {
        if (timer.elapsed() > portWaitMs)
            return false;
        QThread::usleep(2000);
    }
    return true;
}

void pressPostfix(const QString& label)
{
    QAction* item = window->ui()->postfixItem;
    item->setText(label);
    window->Postfix(item);
}

/// Postfix down, whichever way it was started.
void stopPostfix()
{
    runRoot(services::unloadJob(QStringLiteral("postfix")));
    runRoot(QStringLiteral("/usr/sbin/postfix stop 2>/dev/null"));
    waitForSmtp(false);
}

/// Times `action` up to the moment port 25 answers.
template <typename Before, typename Action>
void timePostfix(benchmark::State& state, Before before, Action action)
{
    for (auto _ : state) {
        before();
        const auto start = std::chrono::steady_clock::now();
        action();
        if (!waitForSmtp(true)) {
            state.SkipWithError("port 25 never answered");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    stopPostfix();
}

const QString postfixStart = QStringLiteral("/usr/sbin/postfix -c ") + configDir + QStringLiteral(" start");

void StartPostfix_Brevane(benchmark::State& state)
{
    timePostfix(state, stopPostfix, [] { pressPostfix(QStringLiteral("Start Postfix")); });
}

void StartPostfix_Floor(benchmark::State& state)
{
    timePostfix(state, stopPostfix, [] { runRoot(postfixStart); });
}

void RestartPostfix_Brevane(benchmark::State& state)
{
    const auto running = [] {
        if (!services::isPortOpen(smtpPort))
            pressPostfix(QStringLiteral("Start Postfix"));
        waitForSmtp(true);
    };
    timePostfix(state, running, [] { pressPostfix(QStringLiteral("Restart Postfix")); });
}

void RestartPostfix_Floor(benchmark::State& state)
{
    const auto running = [] {
        if (!services::isPortOpen(smtpPort))
            runRoot(postfixStart);
        waitForSmtp(true);
    };
    timePostfix(state, running, [] { runRoot(QStringLiteral("/usr/sbin/postfix stop; ") + postfixStart); });
}

void LoadPostfixSettings_Brevane(benchmark::State& state)
{
    for (auto _ : state)
        window->loadPostfixSettings();
}

/// One root cat of every file the read-back looks at.
void LoadPostfixSettings_Floor(benchmark::State& state)
{
    QString line = QStringLiteral("cat");
    for (const char* name : {"main.cf", "master.cf", "sasl_passwd", "sasldb_passwd", "access", "aliases", "virtual"})
        line += u' ' + configDir + u'/' + QLatin1String(name);
    line += QStringLiteral(" 2>/dev/null");
    for (auto _ : state)
        benchmark::DoNotOptimize(runRoot(line));
}

/// Each section's own command line, in one root run, nothing split or
/// parsed: what a read-back that keeps those lines cannot go below.
void LoadPostfixSettings_CommandLines(benchmark::State& state)
{
    const QString line = postfixSettingsCommandLines().join(QStringLiteral("; ")) + QStringLiteral(" 2>/dev/null");
    for (auto _ : state)
        benchmark::DoNotOptimize(runRoot(line));
}

void StatusRefresh_Brevane(benchmark::State& state)
{
    for (auto _ : state)
        window->checkStatusLights();
}

/// The refresh's probes alone: the certificate files and their check, the
/// four ports, the two job listings; no control touched.
void statusProbes()
{
    const QStringList& paths = services::certificatePaths();
    if (std::all_of(paths.cbegin(), paths.cend(), checkIfUnixPathExists))
        benchmark::DoNotOptimize(runRoot(certificates::probeCommand()));
    for (const services::UWService& service : services::uwServices())
        benchmark::DoNotOptimize(services::isPortOpen(service.port));
    benchmark::DoNotOptimize(runRoot(services::postfixProbe()));
    benchmark::DoNotOptimize(runRoot(services::fetchmailProbe()));
}

void StatusRefresh_Floor(benchmark::State& state)
{
    for (auto _ : state)
        statusProbes();
}

void StartupAfterLogin_Brevane(benchmark::State& state)
{
    for (auto _ : state)
        window->doStartUpChecks();
}

/// The start-up's reads in one root run (the system daemons' tests, the
/// user listing, the relay hosts, the Postfix files, the run-control file)
/// and the status probes.
void StartupAfterLogin_Floor(benchmark::State& state)
{
    QStringList lines;
    for (const startup::SystemDaemon& daemon : startup::systemDaemons())
        lines << daemon.test;
    lines << startup::localUsersCommand() << readSmartHostsArguments().last() << postfixSettingsCommandLines()
          << QStringLiteral("cat /usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc");
    const QString line = QStringLiteral("{ ") + lines.join(QStringLiteral("; ")) + QStringLiteral("; } 2>/dev/null");
    for (auto _ : state) {
        benchmark::DoNotOptimize(runRoot(line));
        statusProbes();
    }
}

bool logIn()
{
    if (!WindowController::initialize())
        return false;
    window = new WindowController;
    window->loginUi()->savePasswordInKeychain->setChecked(false);
    window->applicationDidFinishLaunching();
    window->loginUi()->passwordField->setText(qEnvironmentVariable("BENCH_ADMIN_PASSWORD"));
    window->doLogin();
    if (window->loginPanel()->isVisible())
        return false;
    // A mail domain, so that the configuration written is a complete one,
    // and one start, so that the floors find the files it writes.
    window->ui()->mydomainField->setText(QStringLiteral("mail.brevane.test"));
    pressPostfix(QStringLiteral("Start Postfix"));
    const bool started = waitForSmtp(true);
    stopPostfix();
    return started;
}

} // namespace

BENCHMARK(StartPostfix_Floor)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(StartPostfix_Brevane)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(RestartPostfix_Floor)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(RestartPostfix_Brevane)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadPostfixSettings_Floor)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadPostfixSettings_Brevane)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadPostfixSettings_CommandLines)->Unit(benchmark::kMillisecond);
BENCHMARK(StatusRefresh_Floor)->Unit(benchmark::kMillisecond);
BENCHMARK(StatusRefresh_Brevane)->Unit(benchmark::kMillisecond);
BENCHMARK(StartupAfterLogin_Floor)->Unit(benchmark::kMillisecond);
BENCHMARK(StartupAfterLogin_Brevane)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!logIn()) {
        std::fprintf(stderr, "real_path_bench: no login (run it through tests/bench/real-path.sh)\n");
        return 77;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete window;
    return 0;
}
