#pragma once

#include "AccountNames.h"
#include "Rule.h"

#include <optional>
#include <string>

namespace brevane::auth {

/// PAM service the authority authenticates through (/etc/pam.d/brevane).
inline constexpr char pamServiceName[] = "brevane";

/// The account and the names of all its groups, from the user database.
std::optional<Account> lookupAccount(const std::string& name);

/// The account name a typed name stands for (accountNameFor over the user
/// database); the database is walked only when no account has that name.
std::optional<std::string> resolveAccountName(const std::string& typed);

/// Name of a uid, or its number when it has no entry.
std::string userNameOf(uid_t uid);

/// Checks the password through PAM (authentication and account validity).
/// Needs root for any account but the caller's own.
bool pamAuthenticate(const std::string& service, const std::string& user, const std::string& password,
                     const std::string& requestingUser);

} // namespace brevane::auth
