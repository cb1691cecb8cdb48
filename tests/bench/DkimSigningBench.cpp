// What DKIM signing adds to a message's way into Postfix: one 20 kB message
// submitted over SMTP on 127.0.0.1, from the connection to the reply to
// QUIT, once on port 25 (the opendkim milter signs it, as the configuration
// script sets it up) and once on a port whose smtpd has no milter (the
// floor), in the same run. Started by dkim-signing.sh inside the sandbox.
#include "SmtpSubmit.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int signedPort = 25;
constexpr int floorPort = 2526;

std::string message()
{
    std::string text = "From: alice@bench.example\r\nTo: sink@bench.example\r\nSubject: signed or not\r\n"
                       "Message-ID: <bench@bench.example>\r\n\r\n";
    const std::string line(76, 'x');
    while (text.size() < 20'000)
        text += line + "\r\n";
    return text + ".\r\n";
}

void submitOn(benchmark::State& state, int port)
{
    const std::string body = message();
    for (auto _ : state) {
        if (!bench::submit(port, "sink@bench.example", body)) {
            state.SkipWithError("the SMTP session failed");
            break;
        }
    }
    state.counters["message_kB"] = double(body.size()) / 1e3;
}

void Submit_Signed(benchmark::State& state)
{
    submitOn(state, signedPort);
}

void Submit_Floor(benchmark::State& state)
{
    submitOn(state, floorPort);
}

} // namespace

BENCHMARK(Submit_Floor)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Submit_Signed)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
