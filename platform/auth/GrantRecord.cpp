#include "GrantRecord.h"

#include "Rule.h"

#include <algorithm>
#include <sstream>

namespace brevane::auth {

namespace {

std::optional<unsigned long long> parseNumber(const std::string& digits)
{
    if (digits.empty() || digits.size() > 19 || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoull(digits);
}

} // namespace

std::string formName(const ExternalForm& form)
{
    static const char digits[] = "0123456789abcdef";
    std::string name;
    for (const auto byte : form) {
        name += digits[byte >> 4];
        name += digits[byte & 0xf];
    }
    return name;
}

bool isZeroForm(const ExternalForm& form)
{
    return std::all_of(form.begin(), form.end(), [](std::uint8_t byte) { return byte == 0; });
}

std::string formatRecord(const GrantRecord& record)
{
    std::ostringstream text;
    text << "right=" << record.right << '\n'
         << "user=" << record.user << '\n'
         << "uid=" << record.requesterUid << '\n'
         << "pid=" << record.requesterPid << '\n'
         << "start=" << record.requesterStart << '\n'
         << "shared=" << (record.shared ? "true" : "false") << '\n';
    return text.str();
}

std::optional<GrantRecord> parseRecord(const std::string& text)
{
    const auto fields = parseRule(text);
    if (!fields || fields->size() != 6)
        return std::nullopt;
    const auto& f = *fields;
    if (!f.count("right") || !f.count("user") || !f.count("uid") || !f.count("pid")
        || !f.count("start") || !f.count("shared"))
        return std::nullopt;
    const auto uid = parseNumber(f.at("uid"));
    const auto pid = parseNumber(f.at("pid"));
    const auto start = parseNumber(f.at("start"));
    if (!uid || !pid || !start || *uid > 0xfffffffeULL || *pid == 0 || *pid > 0x3fffffffULL
        || !isValidRightName(f.at("right")))
        return std::nullopt;
    GrantRecord record;
    record.right = f.at("right");
    record.user = f.at("user");
    record.requesterUid = static_cast<uid_t>(*uid);
    record.requesterPid = static_cast<pid_t>(*pid);
    record.requesterStart = *start;
    record.shared = f.at("shared") == "true";
    return record;
}

bool requesterAlive(const GrantRecord& record, const LiveProcess& requester)
{
    return requester.pid == record.requesterPid && requester.startTime
        && *requester.startTime == record.requesterStart;
}

bool recordAdmits(const GrantRecord& record, const std::string& right, uid_t helperUid,
                  const LiveProcess& helperParent, const LiveProcess& requester)
{
    if (record.right != right || record.requesterUid != helperUid || !requesterAlive(record, requester))
        return false;
    return record.shared || requesterAlive(record, helperParent);
}

} // namespace brevane::auth
