#include "AccountNames.h"

namespace brevane::auth {

std::string fullNameOf(const AccountEntry& entry)
{
    return entry.gecos.substr(0, entry.gecos.find(','));
}

std::optional<std::string> accountNameFor(const std::string& typed, const std::vector<AccountEntry>& accounts)
{
    if (typed.empty())
        return std::nullopt;
    for (const AccountEntry& entry : accounts)
        if (entry.name == typed)
            return entry.name;
    std::optional<std::string> found;
    for (const AccountEntry& entry : accounts) {
        if (fullNameOf(entry) != typed)
            continue;
        if (found)
            return std::nullopt;
        found = entry.name;
    }
    return found;
}

} // namespace brevane::auth
