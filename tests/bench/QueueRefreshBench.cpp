// The window's queue refresh against `postqueue -p` alone, both through the
// real setuid shellTool after a PAM login, on the sandbox's filled queue and
// in the same run. Started by queue-refresh-scenario.sh, which fills the
// queue at each size and runs this as a logged-in administrator.
#include "maintenance/MailQueue.h"
#include "maintenance/MailQueueModel.h"
#include "maintenance/QueueRefresh.h"
#include "privileged/TaskWrapper.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QThread>
#include <QTimer>

#include <malloc.h>

using namespace brevane;

namespace {

TaskWrapper* loggedIn = nullptr;

// The longest the window's thread went without turning its event loop:
// the gap between ticks of a 1 ms timer, as a progress bar would see it.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void stop()
    {
        tick();
        m_timer.stop();
    }
    double longestMs() const { return double(m_longest) / 1e6; }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// A size the kernel reports in /proc/self/status ("VmRSS:", "VmHWM:"), in bytes.
qint64 residentSize(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

// The view painted once, the freed listings gone: what is left is the queue's.
void settle()
{
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
        QThread::msleep(100); // a discarded listing is freed on its own thread
    }
}

void resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void postqueueP(benchmark::State& state)
{
    loggedIn->setArgs(mailqListCommand());
    qsizetype chars = 0;
    for (auto _ : state)
        chars = loggedIn->startProcessGetResult().size();
    state.counters["chars"] = double(chars);
}

/// The listing command's own run, its output read and dropped: what the
/// refresh costs before the window does anything with the bytes.
void listingRun(benchmark::State& state)
{
    loggedIn->setArgs(mailqListingCommand());
    for (auto _ : state)
        loggedIn->startProcessReadingOutput([](const QByteArray& piece) { benchmark::DoNotOptimize(piece.data()); });
}

struct ShownQueue {
    MailQueueModel model;
    QTableView view;
    ShownQueue()
    {
        view.setModel(&model);
        view.setSelectionModel(model.selectionModel());
        view.resize(1100, 600);
        view.show();
        settle();
    }
};

/// The table painted once more after a reset with the same rows: the part
/// of every refresh that only the view decides.
void paintAfterReset(benchmark::State& state)
{
    ShownQueue shown;
    refreshQueue(*loggedIn, shown.model);
    settle();
    for (auto _ : state) {
        shown.model.setListing(shown.model.listing());
        QApplication::processEvents();
    }
}

void refresh(benchmark::State& state)
{
    ShownQueue shown;
    MailQueueModel& model = shown.model;
    const size_t heapEmpty = heapInUse();
    const qint64 residentEmpty = residentSize("VmRSS:");
    refreshQueue(*loggedIn, model);
    settle();
    const double rows = model.rowCount();
    const size_t heapHeld = heapInUse();
    model.setSelectionIndex(int(rows / 2)); // as the administrator left it

    StallMeter meter;
    resetPeakResident();
    for (auto _ : state) {
        meter.start();
        refreshQueue(*loggedIn, model);
        meter.stop();
    }
    state.counters["rows"] = rows;
    state.counters["stall_ms"] = meter.longestMs();
    state.counters["bytes_per_row"] = rows ? double(heapHeld - heapEmpty) / rows : 0;
    // Old and new listing side by side, the output in flight, the heap's slack.
    state.counters["peak_per_row"] = rows ? double(residentSize("VmHWM:") - residentEmpty) / rows : 0;
}

} // namespace

BENCHMARK(postqueueP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(listingRun)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(refresh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(paintAfterReset)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    TaskWrapper runner;
    runner.setAdminPassword(qEnvironmentVariable("BREVANE_TEST_ADMIN_PASSWORD"),
                            qEnvironmentVariable("BREVANE_TEST_ADMIN"));
    if (!runner.checkIfSudoer()) {
        fprintf(stderr, "queue_refresh_bench: the login was refused; run it through queue-refresh-scenario.sh\n");
        return 77;
    }
    loggedIn = &runner;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
