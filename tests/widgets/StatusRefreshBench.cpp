// What the administrator waits for after every action: one status refresh
// (two job-listing runs through the helper, four port probes, the lights).
// The helper is the fake one, so this measures Brevane's own share.
#include "FakeSystem.h"
#include "shell/WindowController.h"

#include <benchmark/benchmark.h>

#include <QApplication>

static void StatusRefresh(benchmark::State& state)
{
    FakeSystem fake;
    fake.answer("grep com.dadarozudedarid.postfix", "YES\\n");
    WindowController window;
    for (auto _ : state)
        window.checkStatusLights();
}
BENCHMARK(StatusRefresh)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
