#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brevane::auth {

/// One entry of the user database as far as names go.
struct AccountEntry {
    std::string name;  // pw_name
    std::string gecos; // pw_gecos: full name, then comma-separated extras
};

/// The full name an entry shows (NSFullUserName's answer): its GECOS field up
/// to the first comma.
std::string fullNameOf(const AccountEntry& entry);

/// The account a name typed at the login sheet stands for. Like the Mac's
/// authorization, an administrator may give the account name or the full
/// name the sheet offers. An account name always wins; a full name counts
/// only when exactly one account carries it, so an ambiguous one matches
/// nothing.
std::optional<std::string> accountNameFor(const std::string& typed, const std::vector<AccountEntry>& accounts);

} // namespace brevane::auth
