#include "ProcessInfo.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace brevane::auth {

std::optional<unsigned long long> startTimeFromStat(const std::string& statText)
{
    const auto paren = statText.rfind(')');
    if (paren == std::string::npos)
        return std::nullopt;
    // After ") " come field 3 (state) onwards; the start time is field 22.
    size_t position = paren + 1;
    for (int field = 3; field <= 22; ++field) {
        while (position < statText.size() && statText[position] == ' ')
            ++position;
        const size_t end = statText.find(' ', position);
        if (position >= statText.size())
            return std::nullopt;
        if (field == 22) {
            const std::string digits = statText.substr(position, end - position);
            if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos
                || digits.size() > 19)
                return std::nullopt;
            return std::strtoull(digits.c_str(), nullptr, 10);
        }
        if (end == std::string::npos)
            return std::nullopt;
        position = end;
    }
    return std::nullopt;
}

std::optional<unsigned long long> processStartTime(pid_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char buffer[1024];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) > 0 && text.size() < 8192)
        text.append(buffer, static_cast<size_t>(got));
    close(fd);
    if (got < 0)
        return std::nullopt;
    return startTimeFromStat(text);
}

} // namespace brevane::auth
