#include "Hardening.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace brevane::auth {

bool closeStrayDescriptors()
{
    closefrom(3);
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0)
            return false;
    }
    return true;
}

bool resetSignals()
{
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP)
            sigaction(signal, &defaults, nullptr); // numbers glibc reserves refuse; harmless
    }
    sigset_t none;
    sigemptyset(&none);
    return sigprocmask(SIG_SETMASK, &none, nullptr) == 0;
}

std::vector<std::string> rootEnvironment()
{
    return {std::string("PATH=") + fixedPath, "HOME=/root", "USER=root", "LOGNAME=root", "SHELL=/bin/sh",
            "LANG=C.UTF-8"};
}

bool readExactly(int fd, void* buffer, size_t length)
{
    auto* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < length) {
        const ssize_t got = read(fd, bytes + done, length - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

bool readAtMost(int fd, std::string& out, size_t limit)
{
    // The input may be a password: the stack copy is wiped on every path.
    char buffer[512];
    bool complete = false;
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            complete = got == 0;
            break;
        }
        out.append(buffer, static_cast<size_t>(got));
        if (out.size() > limit)
            break;
    }
    explicit_bzero(buffer, sizeof buffer);
    return complete;
}

} // namespace brevane::auth
