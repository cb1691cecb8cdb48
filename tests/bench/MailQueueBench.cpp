// How long the queue view takes to read a large queue: 10,000 messages in
// the layout of a captured `postqueue -p` listing.
#include "FakeResources.h"
#include "maintenance/MailQueue.h"
#include "maintenance/MailQueueModel.h"
#include "maintenance/QueueListingWorker.h"
#include "privileged/TaskWrapper.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <future>
#include <malloc.h>
#include <unistd.h>
#include <QStringList>

using namespace brevane;

namespace {

// The captured listing's message blocks (header, remarks, recipients),
// without the column header and the summary.
QStringList capturedMessages()
{
    QFile file(QStringLiteral(BREVANE_TEST_DATA "/maintenance/data/postqueue-marks.txt"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("captured listing missing");
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    const QString body = lines.mid(1, lines.size() - 3).join(u'\n');
    return body.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
}

// Every copy gets its own queue ID, the status mark kept.
QString listingOf(int messageCount)
{
    const QStringList messages = capturedMessages();
    QStringList lines {QStringLiteral("-Queue ID-  --Size-- ----Arrival Time---- -Sender/Recipient-------")};
    for (int i = 0; i < messageCount; ++i) {
        QString message = messages.at(i % messages.size());
        const qsizetype idEnd = message.indexOf(u' ');
        qsizetype markStart = idEnd;
        while (markStart > 0 && QStringView(u"*!#").contains(message.at(markStart - 1)))
            --markStart;
        message.replace(0, markStart, QString::number(0x100000 + i, 16).toUpper());
        lines << message << QString();
    }
    lines << QStringLiteral("-- 2400 Kbytes in %1 Requests.").arg(messageCount);
    return lines.join(u'\n');
}

void parseLargeQueue(benchmark::State& state)
{
    const QString listing = listingOf(int(state.range(0)));
    qsizetype rows = 0;
    for (auto _ : state) {
        const Rows parsed = parseMailQueue(listing);
        rows = parsed.size();
        benchmark::DoNotOptimize(parsed);
    }
    state.counters["rows"] = double(rows);
    state.SetBytesProcessed(state.iterations() * listing.size() * qsizetype(sizeof(QChar)));
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

BENCHMARK(parseLargeQueue)->Arg(10000)->Unit(benchmark::kMillisecond);
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
