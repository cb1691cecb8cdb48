// What one privileged run costs the caller beyond the command itself:
// starting the helper, handing it the form and reading its output back.
// A stand-in helper that just execs keeps root and PAM out of the figure.

#include "FakeResources.h"

#include "privileged/TaskWrapper.h"
#include "shell/CommandRunner.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

void runVector(benchmark::State& state, const QStringList& arguments)
{
    FakeResources resources;
    brevane::TaskWrapper runner;
    runner.setArgs(arguments);
    for (auto _ : state)
        benchmark::DoNotOptimize(runner.startProcessGetResult());
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

} // namespace

BENCHMARK(BM_RunTrue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunShellProbe)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunLargeListing)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
