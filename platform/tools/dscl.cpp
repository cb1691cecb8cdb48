// dscl for Debian: only the local user listing the start-up checks ask for.
#include "DsclListing.h"

#include <iostream>
#include <pwd.h>

using namespace brevane::dscl;

int main(int argc, char** argv)
{
    if (!isUserUidListing({ argv + 1, argv + argc })) {
        std::cerr << "dscl: only \"dscl . list ./users uid\" is supported\n";
        return 1;
    }
    std::vector<Account> accounts;
    ::setpwent();
    while (const passwd* entry = ::getpwent())
        accounts.push_back({ entry->pw_name, static_cast<long long>(entry->pw_uid) });
    ::endpwent();
    std::cout << formatListing(std::move(accounts)) << std::flush;
    return std::cout ? 0 : 1;
}
