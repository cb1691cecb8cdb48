#include "Attempts.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brevane::auth {

namespace {

long long now()
{
    return static_cast<long long>(time(nullptr));
}

void sleepSeconds(long long seconds)
{
    timespec left{static_cast<time_t>(seconds), 0};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

} // namespace

unsigned backoffSeconds(unsigned failures)
{
    if (failures == 0)
        return 0;
    return failures > 5 ? maxBackoffSeconds : std::min(maxBackoffSeconds, 1u << (failures - 1));
}

std::string formatAttempts(const AttemptState& state)
{
    return "failures " + std::to_string(state.failures) + "\nnot-before " + std::to_string(state.notBefore) + "\n";
}

std::optional<AttemptState> parseAttempts(const std::string& text)
{
    AttemptState state;
    int consumed = 0;
    if (sscanf(text.c_str(), "failures %u\nnot-before %lld\n%n", &state.failures, &state.notBefore, &consumed) != 2
        || static_cast<size_t>(consumed) != text.size())
        return std::nullopt;
    return state;
}

AttemptGate::AttemptGate(const std::string& file)
{
    m_fd = open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat status {};
    int locked = -1;
    if (m_fd >= 0 && fstat(m_fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid()
        && (status.st_mode & 077) == 0) {
        while ((locked = flock(m_fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
    }
    if (locked != 0) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
        return;
    }
    char buffer[128];
    const ssize_t got = pread(m_fd, buffer, sizeof buffer, 0);
    // A damaged record starts afresh; only root can write it.
    if (got > 0)
        m_state = parseAttempts(std::string(buffer, static_cast<size_t>(got))).value_or(AttemptState{});
}

AttemptGate::~AttemptGate()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool AttemptGate::waitTurn()
{
    // A clock set back must not make a caller wait longer than the cap.
    const long long wait = std::clamp(m_state.notBefore - now(), 0LL, static_cast<long long>(maxBackoffSeconds));
    if (wait > 0)
        sleepSeconds(wait);
    ++m_state.failures;
    m_state.notBefore = now() + backoffSeconds(m_state.failures);
    return save();
}

void AttemptGate::succeeded()
{
    m_state = {};
    save();
}

bool AttemptGate::save() const
{
    const std::string text = formatAttempts(m_state);
    return ftruncate(m_fd, 0) == 0
        && pwrite(m_fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

} // namespace brevane::auth
