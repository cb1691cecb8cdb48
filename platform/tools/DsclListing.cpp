#include "DsclListing.h"

#include <algorithm>

namespace brevane::dscl {

bool isUserUidListing(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 4 || arguments[0] != "." || arguments[1] != "list" || arguments[3] != "uid")
        return false;
    std::string node = arguments[2];
    std::transform(node.begin(), node.end(), node.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return node == "./users" || node == "/users";
}

long long macUid(long long uid)
{
    return uid == 65534 ? -2 : uid;
}

std::string formatListing(std::vector<Account> accounts)
{
    std::stable_sort(accounts.begin(), accounts.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    accounts.erase(std::unique(accounts.begin(), accounts.end(),
                       [](const auto& a, const auto& b) { return a.name == b.name; }),
        accounts.end());
    std::size_t width = 0;
    for (const auto& account : accounts)
        width = std::max(width, account.name.size());
    std::string text;
    for (const auto& account : accounts) {
        text += account.name;
        text.append(width - account.name.size() + 1, ' ');
        text += std::to_string(macUid(account.uid));
        text += '\n';
    }
    return text;
}

} // namespace brevane::dscl
