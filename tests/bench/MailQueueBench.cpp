// How long the queue view takes to read a large queue: 10,000 messages in
// the layout of a captured `postqueue -p` listing.
#include "maintenance/MailQueue.h"

#include <benchmark/benchmark.h>

#include <QFile>
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

} // namespace

BENCHMARK(parseLargeQueue)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
