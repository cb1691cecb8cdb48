// What "Restart Postfix" costs with and without the check, on the real
// launchctl, launcher and Postfix: run it inside the sandbox with Brevane
// installed, as the check's system test is,
//   tests/system/sandbox.sh bash tests/postfix/check-system.sh build build/bench/restart_bench
// Unchecked: the job unloaded, the configuration script, the job loaded;
// once as the window used to return (at the load) and once until Postfix
// answers on port 25. Checked: the job unloaded, then the check's apply,
// which returns once the master is up.
#include "SandboxPostfix.h"
#include "SandboxRun.h"
#include "postfix/PostfixCheck.h"
#include "postfix/PostfixConfig.h"
#include "postfix/ServiceRules.h"
#include "shell/ResourcePaths.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QThread>

using namespace brevane;

namespace {

QString runAsRoot(const QStringList& arguments)
{
    return sandbox::run(arguments, nullptr, QStringLiteral("/opt/brevane/Resources"));
}

QString shell(const QString& line)
{
    return runAsRoot({QStringLiteral("/bin/sh"), QStringLiteral("-c"), line});
}

QStringList configureArguments()
{
    PostfixForm form = sandbox::postfixForm(QStringLiteral("mail.brevane.test"));
    form.administrator = QStringLiteral("admin");
    form.access = QStringLiteral("spam.example REJECT");
    return sandbox::postfixArguments(form);
}

void waitForSmtp()
{
    for (int i = 0; i < 300 && !services::isPortOpen(25); ++i)
        QThread::msleep(10);
}

/// The old Restart: unload, configure, load. Timed until the job is loaded,
/// or until port 25 answers.
void UncheckedRestart(benchmark::State& state, bool untilAnswering)
{
    if (!sandbox::active())
        return state.SkipWithError("needs root inside the sandbox (check-system.sh)");
    const QStringList arguments = configureArguments();
    for (auto _ : state) {
        shell(services::unloadJob(QStringLiteral("postfix")));
        runAsRoot(arguments);
        shell(services::loadJob(QStringLiteral("postfix")));
        if (!untilAnswering)
            state.PauseTiming();
        waitForSmtp(); // the next round starts from a running Postfix
        if (!untilAnswering)
            state.ResumeTiming();
    }
}

void CheckedRestart(benchmark::State& state)
{
    if (!sandbox::active())
        return state.SkipWithError("needs root inside the sandbox (check-system.sh)");
    const QStringList arguments
        = applyPostfixArguments(configureArguments(), scriptText(QStringLiteral("check-postfix.sh")));
    for (auto _ : state) {
        shell(services::unloadJob(QStringLiteral("postfix")));
        const QString output = runAsRoot(arguments);
        if (parsePostfixCheck(output).result != CheckResult::Up)
            return state.SkipWithError(("the check refused a good configuration: " + output).toStdString().c_str());
    }
    waitForSmtp();
}

} // namespace

BENCHMARK_CAPTURE(UncheckedRestart, UntilLoaded, false)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6)->Repetitions(2);
BENCHMARK_CAPTURE(UncheckedRestart, UntilAnswering, true)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6)->Repetitions(2);
BENCHMARK(CheckedRestart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6)->Repetitions(2);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
