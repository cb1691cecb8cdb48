// What one privileged run costs the caller beyond the command itself:
// starting the installed setuid helper, handing it a form the authority
// really granted, the helper's checks, reading the output back. The floor
// beside it is a bare QProcess start of the same kind of command.
//
// Runs as an administrator with the helper installed, inside the sandbox:
//   tests/system/sandbox.sh tests/bench/real-path.sh BUILD_DIR

#include "privileged/TaskWrapper.h"
#include "shell/CommandRunner.h"

#include <QCoreApplication>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

brevane::TaskWrapper* runner = nullptr;

void runVector(benchmark::State& state, const QStringList& arguments)
{
    runner->setArgs(arguments);
    for (auto _ : state)
        benchmark::DoNotOptimize(runner->startProcessGetResult());
}

void runPlain(benchmark::State& state, const QStringList& arguments)
{
    for (auto _ : state) {
        QProcess process;
        process.start(arguments.first(), arguments.mid(1));
        process.waitForFinished();
        benchmark::DoNotOptimize(process.readAllStandardOutput());
    }
}

void BM_RunTrue_Floor(benchmark::State& state)
{
    runPlain(state, brevane::shellCommand("true"));
}

void BM_RunTrue(benchmark::State& state)
{
    runVector(state, {"/bin/true"});
}

void BM_RunShellProbe(benchmark::State& state)
{
    runVector(state, brevane::shellCommand("test -d / && echo YES"));
}

void BM_RunLargeListing(benchmark::State& state)
{
    runVector(state, brevane::shellCommand("head -c 500000 /dev/zero | tr '\\0' a"));
    state.SetBytesProcessed(state.iterations() * 500'000);
}

/// A grant from the real authority for the administrator named in the
/// environment, checked by one run that must come back as root.
bool logIn()
{
    runner = new brevane::TaskWrapper;
    runner->setAdminPassword(qEnvironmentVariable("BENCH_ADMIN_PASSWORD"), qEnvironmentVariable("BENCH_ADMIN"));
    if (!runner->checkIfSudoer())
        return false;
    runner->setArgs({"/usr/bin/id", "-u"});
    return runner->startProcessGetResult() == QLatin1String("0");
}

} // namespace

BENCHMARK(BM_RunTrue_Floor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunTrue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunShellProbe)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunLargeListing)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!logIn()) {
        std::fprintf(stderr, "run_overhead_benchmark: no grant (run it through tests/bench/real-path.sh)\n");
        return 77;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete runner;
    return 0;
}
