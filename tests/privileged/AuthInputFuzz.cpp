// libFuzzer target for what the authorization layer reads from outside:
// the authority's standard input, stored rules and grant records, and
// /proc stat lines.
#include "auth/Credentials.h"
#include "auth/GrantRecord.h"
#include "auth/ProcessInfo.h"
#include "auth/Rule.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace brevane::auth;
    const std::string input(reinterpret_cast<const char*>(data), size);
    if (const auto credentials = parseCredentials(input); credentials && credentials->user.empty())
        __builtin_trap();
    if (const auto rule = parseRule(input); rule && parseRule(formatRule(*rule)) != rule)
        __builtin_trap();
    if (const auto record = parseRecord(input); record && !parseRecord(formatRecord(*record)))
        __builtin_trap();
    startTimeFromStat(input);
    return 0;
}
