// How long the queue view takes to read a large queue: a real 10,000-message
// queue captured both ways.
#include "FakeResources.h"
#include "maintenance/MailQueue.h"
#include "maintenance/MailQueueModel.h"
#include "maintenance/QueueListingWorker.h"
#include "privileged/TaskWrapper.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <future>
#include <malloc.h>
#include <unistd.h>

using namespace brevane;

namespace {

// A real 10,000-message queue captured in the sandbox
// (tests/maintenance/capture-large-queue.sh), kept xz-compressed.
QByteArray captured(const char* name)
{
    QProcess xz;
    xz.start(QStringLiteral("xz"), {QStringLiteral("-dc"), QStringLiteral(BREVANE_TEST_DATA "/maintenance/data/") + name});
    if (!xz.waitForFinished(-1) || xz.exitCode() != 0)
        qFatal("captured listing %s missing or xz not installed", name);
    return xz.readAllStandardOutput();
}

// The classic `postqueue -p` reader over the captured queue.
void parseCapturedClassic(benchmark::State& state)
{
    QString listing = QString::fromUtf8(captured("queue-listing-10k-classic.txt.xz"));
    listing.chop(1); // as the runner hands it over
    qsizetype rows = 0;
    for (auto _ : state) {
        const Rows parsed = parseMailQueue(listing);
        rows = parsed.size();
        benchmark::DoNotOptimize(parsed);
    }
    state.counters["rows"] = double(rows);
    state.SetBytesProcessed(state.iterations() * listing.size() * qsizetype(sizeof(QChar)));
}

// The window's reader over the listing command's captured output, in the
// pieces a pipe delivers, then arranged for the table.
void readCapturedListing(benchmark::State& state)
{
    const QByteArray output = captured("queue-listing-10k-json.txt.xz");
    qsizetype rows = 0;
    for (auto _ : state) {
        QueueListingReader reader;
        for (qsizetype at = 0; at < output.size(); at += 65536)
            reader.feed(QByteArrayView(output).sliced(at, std::min<qsizetype>(65536, output.size() - at)));
        const QueueListing listing = reader.finish();
        const QList<qint32> arranged = arrangeRows(listing, {}, -1, Qt::AscendingOrder);
        rows = arranged.size();
        benchmark::DoNotOptimize(arranged);
    }
    state.counters["rows"] = double(rows);
    state.SetBytesProcessed(state.iterations() * output.size());
}

// Against the sandbox's real queue (filled by tests/bench/fill-queue.sh):
// the window's whole refresh (listing run, reading while the output
// arrives, one model reset) and `postqueue -p` alone, both through the
// runner. The stand-in helper only execs, so the two differ by what the
// refresh adds, not by authorization.
bool realQueue()
{
    return qEnvironmentVariable("BREVANE_IN_SANDBOX") == QLatin1String("1") && ::geteuid() == 0;
}

void runAlone(benchmark::State& state, const QStringList& command)
{
    if (!realQueue())
        return state.SkipWithError("runs inside tests/system/sandbox.sh (tests/bench/fill-queue.sh)");
    FakeResources resources;
    TaskWrapper runner;
    runner.setArgs(command);
    qsizetype bytes = 0;
    for (auto _ : state)
        bytes = runner.startProcessGetResult().size();
    state.counters["chars"] = double(bytes);
}

void postqueueAlone(benchmark::State& state)
{
    runAlone(state, mailqListCommand());
}

// Where the refresh's time goes: its command without reading the output.
void listingCommandAlone(benchmark::State& state)
{
    runAlone(state, mailqListingCommand());
}

void windowRefresh(benchmark::State& state)
{
    if (!realQueue())
        return state.SkipWithError("runs inside tests/system/sandbox.sh (tests/bench/fill-queue.sh)");
    FakeResources resources;
    TaskWrapper runner;
    MailQueueModel model;
    const size_t heapBefore = mallinfo2().uordblks;
    for (auto _ : state) {
        QueueListingWorker worker({}, -1, Qt::AscendingOrder);
        runner.setArgs(mailqListingCommand());
        runner.startProcessReadingOutput([&worker](const QByteArray& piece) { worker.feed(piece); });
        std::promise<void> ready;
        worker.finish([&ready] { ready.set_value(); });
        ready.get_future().wait();
        QueueListingWorker::discard(model.setListing(worker.takeListing(), worker.takeArranged()));
    }
    QThread::msleep(300); // the last discarded listing is freed on its own thread
    const double rows = model.rowCount();
    state.counters["rows"] = rows;
    state.counters["bytes_per_row"] = rows ? double(mallinfo2().uordblks - heapBefore) / rows : 0;
}

} // namespace

BENCHMARK(parseCapturedClassic)->Unit(benchmark::kMillisecond);
BENCHMARK(readCapturedListing)->Unit(benchmark::kMillisecond);
BENCHMARK(postqueueAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(listingCommandAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(windowRefresh)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
