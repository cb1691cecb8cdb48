#include "Listeners.h"

#include <arpa/inet.h>
#include <charconv>
#include <ctime>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace brevane::launchd {

namespace {

constexpr long kPollMilliseconds = 20;

long monotonicMilliseconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000L + now.tv_nsec / 1'000'000L;
}

} // namespace

std::optional<int> servicePort(const std::string& serviceName)
{
    if (serviceName.empty())
        return std::nullopt;
    int number = 0;
    const char* end = serviceName.data() + serviceName.size();
    const auto [stop, error] = std::from_chars(serviceName.data(), end, number);
    if (error == std::errc() && stop == end)
        return number >= 1 && number <= 65535 ? std::optional<int>(number) : std::nullopt;
    if (const servent* entry = ::getservbyname(serviceName.c_str(), "tcp"))
        return int(ntohs(static_cast<uint16_t>(entry->s_port)));
    return std::nullopt;
}

bool acceptsConnections(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

bool waitForListener(int port, int timeoutMs, const std::function<bool()>& jobRunning)
{
    const long deadline = monotonicMilliseconds() + timeoutMs;
    const timespec pause { 0, kPollMilliseconds * 1'000'000L };
    for (;;) {
        if (acceptsConnections(port))
            return true;
        if (!jobRunning() || monotonicMilliseconds() >= deadline)
            return false;
        ::nanosleep(&pause, nullptr);
    }
}

} // namespace brevane::launchd
