#include "JobState.h"

#include <algorithm>
#include <charconv>
#include <sys/wait.h>

namespace brevane::launchd {
namespace {

std::optional<long> parseNumber(std::string_view text)
{
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string formatRecord(const JobRecord& record)
{
    std::string text = "pid=" + (record.pid > 0 ? std::to_string(record.pid) : std::string("-")) + "\n";
    text += "status=" + (record.lastStatus ? std::to_string(*record.lastStatus) : std::string("-")) + "\n";
    text += "plist=" + record.plistPath + "\n";
    return text;
}

std::optional<JobRecord> parseRecord(const std::string& label, const std::string& text)
{
    JobRecord record;
    record.label = label;
    bool havePid = false, haveStatus = false;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            return std::nullopt; // a record always ends with a line feed
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        const auto key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "pid") {
            const auto pid = value == "-" ? std::optional<long>(0) : parseNumber(value);
            if (!pid || *pid < 0)
                return std::nullopt;
            record.pid = *pid;
            havePid = true;
        } else if (key == "status") {
            if (value != "-") {
                const auto status = parseNumber(value);
                if (!status || *status < -128 || *status > 255)
                    return std::nullopt;
                record.lastStatus = int(*status);
            }
            haveStatus = true;
        } else if (key == "plist") {
            record.plistPath = std::string(value);
        }
    }
    if (!havePid || !haveStatus)
        return std::nullopt;
    return record;
}

std::string formatListing(std::vector<JobRecord> records)
{
    std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.label < b.label; });
    std::string text = "PID\tStatus\tLabel\n";
    for (const auto& record : records) {
        text += record.pid > 0 ? std::to_string(record.pid) : std::string("-");
        text += '\t';
        text += record.lastStatus ? std::to_string(*record.lastStatus) : std::string("-");
        text += '\t';
        text += record.label;
        text += '\n';
    }
    return text;
}

int statusFromWait(int waitStatus)
{
    if (WIFSIGNALED(waitStatus))
        return -WTERMSIG(waitStatus);
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    return 0;
}

std::string overrideText(Override value)
{
    switch (value) {
    case Override::Enabled:
        return "enabled\n";
    case Override::Disabled:
        return "disabled\n";
    case Override::None:
        break;
    }
    return {};
}

Override parseOverride(const std::string& text)
{
    if (text == "enabled\n")
        return Override::Enabled;
    if (text == "disabled\n")
        return Override::Disabled;
    return Override::None;
}

bool isDisabled(bool plistDisabled, Override override)
{
    if (override == Override::None)
        return plistDisabled;
    return override == Override::Disabled;
}

} // namespace brevane::launchd
