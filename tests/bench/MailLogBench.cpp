// What the mail-log tab costs on a busy server: a 200 MB log of a million
// lines, made from the captured Postfix lines with a fresh queue ID per
// message and time stamps spread over the last two days. Measures the 24-hour
// summary alone, the tab's whole load (summary plus the lines it keeps) and,
// for scale, `grep -c` over the same file. The file lives in /tmp only while
// the benchmark runs. Run on one core:
//   taskset -c 0 build/bench/maillog_bench
#include "maintenance/LogLines.h"
#include "maintenance/LogReading.h"
#include "maintenance/TrafficSummary.h"

#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

using namespace brevane;

namespace {

constexpr qsizetype lineCount = 1'000'000;
constexpr qsizetype targetBytes = 200'000'000;
constexpr qint64 pieceBytes = 4 << 20;

QString benchFile;

QList<QByteArray> capturedLines()
{
    QFile file(QStringLiteral(BREVANE_TEST_DATA "/maintenance/data/mail.log-captured.txt"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("captured mail log missing");
    QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    for (QByteArray& line : lines)
        line = line.mid(16); // the time stamp is written anew
    return lines;
}

// Writes the file line by line, so making it costs no memory.
void generateLog()
{
    benchFile = QDir::tempPath() + QStringLiteral("/brevane-maillog-bench-%1.log").arg(::getpid());
    const QList<QByteArray> lines = capturedLines();
    const QList<QByteArray> ids{"DEE7060", "20ADF68", "237F06C", "D15D46F"};
    qsizetype plainBytes = 0;
    for (const QByteArray& line : lines)
        plainBytes += 16 + line.size();
    // A longer host name brings the lines to the size of a busy gateway's.
    const qsizetype padding = std::max<qsizetype>(0, targetBytes / lineCount - plainBytes / lines.size());
    const QByteArray host = "probe" + QByteArray(padding, 'x');
    std::ofstream out(benchFile.toStdString(), std::ios::binary);
    const QDateTime start = QDateTime::currentDateTime().addSecs(-48 * 3600);
    const double secondsPerLine = 48.0 * 3600 / lineCount;
    QLocale c = QLocale::c();
    QByteArray stamp;
    for (qsizetype n = 0; n < lineCount; ++n) {
        if (n % 100 == 0)
            stamp = c.toString(start.addSecs(qint64(n * secondsPerLine)), "MMM dd HH:mm:ss").toLatin1();
        QByteArray line = lines.at(n % lines.size());
        line.replace("probe", host);
        const qsizetype cycle = n / lines.size();
        for (int i = 0; i < ids.size(); ++i)
            line.replace(ids.at(i), QByteArray::number(0x10000000 + cycle * 4 + i, 16).toUpper());
        out << stamp.constData() << ' ' << line.constData() << '\n';
    }
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double grepSeconds = 0;
double grepCpuSeconds = 0;

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
         + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ownCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void grepCount(benchmark::State& state)
{
    const std::string command = "grep -c status= '" + benchFile.toStdString() + "'";
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        const double cpuBefore = childCpuSeconds();
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[64] = {};
        benchmark::DoNotOptimize(std::fgets(buffer, sizeof buffer, pipe));
        pclose(pipe);
        grepSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        grepCpuSeconds = childCpuSeconds() - cpuBefore;
    }
    state.counters["grep_cpu_ms"] = grepCpuSeconds * 1e3;
    state.counters["file_MB"] = double(QFile(benchFile).size()) / 1e6;
}

// Reads the file in the pieces the tab reads, feeding `take`.
template<typename Take>
void readPieces(Take take)
{
    qint64 offset = 0;
    for (;;) {
        const LogChunk chunk = readChunkDirectly(benchFile, offset, pieceBytes);
        if (chunk.bytes.isEmpty())
            break;
        take(chunk.bytes);
        offset += chunk.bytes.size();
    }
}

void summary24Hours(benchmark::State& state)
{
    const long rssBefore = peakRssKb();
    double seconds = 0;
    double cpuSeconds = 0;
    TrafficCounts total;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        const double cpuBefore = ownCpuSeconds();
        TrafficSummarizer summarizer(localNow());
        readPieces([&](const QByteArray& bytes) { summarizer.feed({bytes.constData(), std::size_t(bytes.size())}); });
        summarizer.finish();
        total = summarizer.summary(localNow()).total;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        cpuSeconds = ownCpuSeconds() - cpuBefore;
    }
    state.counters["cpu_ms"] = cpuSeconds * 1e3;
    state.counters["times_grep_c_cpu"] = grepCpuSeconds > 0 ? cpuSeconds / grepCpuSeconds : 0;
    state.counters["received_24h"] = total.received;
    state.counters["delivered_24h"] = total.delivered;
    state.counters["peak_rss_growth_MB"] = double(peakRssKb() - rssBefore) / 1e3;
    state.counters["times_grep_c"] = grepSeconds > 0 ? seconds / grepSeconds : 0;
}

void tabLoad(benchmark::State& state)
{
    const long rssBefore = peakRssKb();
    qsizetype kept = 0;
    for (auto _ : state) {
        TrafficSummarizer summarizer(localNow());
        LogLines lines;
        readPieces([&](const QByteArray& bytes) {
            lines.append(bytes);
            summarizer.feed({bytes.constData(), std::size_t(bytes.size())});
        });
        benchmark::DoNotOptimize(summarizer.summary(localNow()));
        kept = lines.keptBytes();
    }
    const double growth = double(peakRssKb() - rssBefore) * 1e3;
    state.counters["kept_MB"] = double(kept) / 1e6;
    state.counters["peak_rss_growth_MB"] = growth / 1e6;
    state.counters["rss_per_kept_byte"] = kept ? growth / double(kept) : 0;
}

} // namespace

BENCHMARK(grepCount)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(summary24Hours)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(tabLoad)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    generateLog();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QFile::remove(benchFile);
    return 0;
}
