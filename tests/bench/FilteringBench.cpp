// What filtering adds to a message's way through Postfix: one 20 kB message
// submitted over SMTP on 127.0.0.1 until local delivery has appended it to
// the mailbox, through a smtpd without milter (the floor), one whose milter
// is an rspamd without virus scanning, and one whose rspamd asks clamd too,
// in the same run. Started by filtering.sh inside the sandbox, which first
// runs this program with --write-config to install the Filtering tab's
// rspamd configuration.
#include "filtering/RspamdConfig.h"
#include "shell/ResourcePaths.h"

#include "SmtpSubmit.h"

#include <benchmark/benchmark.h>

#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr int floorPort = 2526;
constexpr int spamPort = 2527;
constexpr int virusPort = 2528;
constexpr char mailbox[] = "/var/mail/bob";

// A short letter with a report attached: rspamd hands attachments, not
// text, to clamd, so the virus scan has something to scan.
std::string message()
{
    std::string text = "From: alice@bench.example\r\nTo: bob@bench.example\r\nSubject: the quarterly report\r\n"
                       "Message-ID: <bench@bench.example>\r\nMIME-Version: 1.0\r\n"
                       "Content-Type: multipart/mixed; boundary=\"part\"\r\n\r\n--part\r\n"
                       "Content-Type: text/plain\r\n\r\nThe garden committee met on Tuesday; the report is "
                       "attached.\r\n--part\r\nContent-Type: application/pdf\r\n"
                       "Content-Disposition: attachment; filename=\"report.pdf\"\r\n"
                       "Content-Transfer-Encoding: base64\r\n\r\n";
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::uint32_t state = 20'000;
    while (text.size() < 20'000) {
        std::string line;
        for (int i = 0; i < 76; ++i) {
            state = state * 1664525u + 1013904223u; // the same bytes every run
            line += alphabet[state >> 26];
        }
        text += line + "\r\n";
    }
    return text + "--part--\r\n.\r\n";
}

off_t mailboxSize()
{
    struct stat info{};
    return ::stat(mailbox, &info) == 0 ? info.st_size : 0;
}

// Until the mailbox has grown past `before`; false after 10 s.
bool delivered(off_t before)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (mailboxSize() <= before) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

void deliverThrough(benchmark::State& state, int port)
{
    const std::string body = message();
    for (auto _ : state) {
        const off_t before = mailboxSize();
        if (!bench::submit(port, "bob@bench.example", body) || !delivered(before)) {
            state.SkipWithError("the message was refused or not delivered");
            break;
        }
    }
    state.counters["message_kB"] = double(body.size()) / 1e3;
}

void Deliver_Floor(benchmark::State& state)
{
    deliverThrough(state, floorPort);
}

void Deliver_Spam(benchmark::State& state)
{
    deliverThrough(state, spamPort);
}

void Deliver_SpamAndVirus(benchmark::State& state)
{
    deliverThrough(state, virusPort);
}

// The Filtering tab's defaults with virus scanning, through its own script.
int writeConfig()
{
    using namespace brevane::filtering;
    const QStringList arguments = scriptArguments(Mode::On, { true, "6", "15", false, true },
        brevane::scriptText(QStringLiteral("configure-filtering.sh")));
    QProcess script;
    script.start(arguments.first(), arguments.mid(1));
    script.waitForFinished(120000);
    const QByteArray output = script.readAllStandardOutput();
    if (output.contains("Filtering on"))
        return 0;
    std::fwrite(output.data(), 1, size_t(output.size()), stderr);
    return 1;
}

} // namespace

BENCHMARK(Deliver_Floor)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Deliver_Spam)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Deliver_SpamAndVirus)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--write-config") == 0)
        return writeConfig();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
