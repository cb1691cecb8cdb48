// What Check DNS costs with a resolver on this machine: the check of three
// mail domains beside the same questions asked one by one with dig, its
// floor; and closing the window while a check waits for servers that never
// answer. Only inside the sandbox, as tests/bench/deliverability.sh runs it:
// it needs unbound on 127.0.0.1:53 serving the three zones, then that port
// free for a server that never answers.
#include "deliverability/DeliverabilityTab.h"
#include "deliverability/DnsChecks.h"
#include "deliverability/UnboundResolver.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QProcess>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace brevane;

namespace {

const QStringList domains{QStringLiteral("a.test"), QStringLiteral("b.test"), QStringLiteral("c.test")};
const QString address = QStringLiteral("127.0.0.2");

dns::CheckInput input()
{
    return {domains, QStringLiteral("sel"), {}, address, false};
}

QList<dns::CheckRow> check(const dns::Lookup& lookup)
{
    return dns::runChecks(input(), lookup, {});
}

// A fresh resolver each time, as each press of Check DNS has.
dns::ResolverOptions options()
{
    dns::ResolverOptions made;
    made.trustAnchorFile.clear();
    return made;
}

void BM_CheckThreeDomains(benchmark::State& state)
{
    for (auto _ : state) {
        dns::UnboundResolver resolver(options());
        const QList<dns::CheckRow> rows = check(resolver.lookup());
        if (rows.value(1).state != dns::CheckState::Passed)
            state.SkipWithError("the zones did not answer");
    }
}

// The questions the check asks, each as one dig run.
void BM_DigTheSameQuestions(benchmark::State& state)
{
    static const char* names[] = {"MX", "A", "AAAA", "TXT", "PTR", "TLSA"};
    QStringList questions;
    dns::UnboundResolver resolver(options());
    check([&](const QString& name, dns::RecordType type) {
        questions.append(name + u' ' + QString::fromLatin1(names[int(type)]));
        return resolver.resolve(name, type);
    });
    state.counters["questions"] = double(questions.size());
    for (auto _ : state) {
        for (const QString& question : questions) {
            QProcess dig;
            dig.start(QStringLiteral("/usr/bin/dig"), QStringList{QStringLiteral("@127.0.0.1"), QStringLiteral("+short")}
                                                          + question.split(u' '));
            dig.waitForFinished();
        }
    }
}

// Closing the window (the tab going) while a check waits on a server that
// never answers: the answers are abandoned.
void BM_CloseDuringASilentCheck(benchmark::State& state)
{
    const int sink = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(53);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(sink, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        state.SkipWithError("port 53 is taken: stop unbound first");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto* tab = new DeliverabilityTab;
        tab->setDomains(domains);
        tab->checkDns();
        QThread::msleep(200);
        if (!tab->isChecking())
            state.SkipWithError("the check did not wait");
        state.ResumeTiming();
        delete tab;
    }
    ::close(sink);
}

} // namespace

BENCHMARK(BM_CheckThreeDomains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DigTheSameQuestions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloseDuringASilentCheck)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
