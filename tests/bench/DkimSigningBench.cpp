// What DKIM signing adds to a message's way into Postfix: one 20 kB message
// submitted over SMTP on 127.0.0.1, from the connection to the reply to
// QUIT, once on port 25 (the opendkim milter signs it, as the configuration
// script sets it up) and once on a port whose smtpd has no milter (the
// floor), in the same run. Started by dkim-signing.sh inside the sandbox.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

/// Reads one reply, every line of it; its code, or 0 when the server went away.
int reply(int fd)
{
    std::string lineSoFar;
    char c = 0;
    while (::read(fd, &c, 1) == 1) {
        lineSoFar += c;
        if (c != '\n')
            continue;
        if (lineSoFar.size() >= 4 && lineSoFar[3] == ' ')
            return std::stoi(lineSoFar.substr(0, 3));
        lineSoFar.clear();
    }
    return 0;
}

bool say(int fd, const std::string& text, int expected)
{
    return ::write(fd, text.data(), text.size()) == ssize_t(text.size()) && reply(fd) == expected;
}

bool submit(int port, const std::string& body)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool sent = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && reply(fd) == 220
                   && say(fd, "EHLO client.bench.example\r\n", 250)
                   && say(fd, "MAIL FROM:<alice@bench.example>\r\n", 250)
                   && say(fd, "RCPT TO:<sink@bench.example>\r\n", 250) && say(fd, "DATA\r\n", 354)
                   && say(fd, body, 250) && say(fd, "QUIT\r\n", 221);
    ::close(fd);
    return sent;
}

void submitOn(benchmark::State& state, int port)
{
    const std::string body = message();
    for (auto _ : state) {
        if (!submit(port, body)) {
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
