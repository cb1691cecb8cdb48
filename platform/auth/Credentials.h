#pragma once

#include <optional>
#include <string>

namespace brevane::auth {

/// What the application writes to the authority's standard input:
/// the user name, one zero byte, the password (never on the command line).
struct Credentials {
    std::string user;
    std::string password;
};

inline constexpr size_t maxCredentialsLength = 4096;

/// Splits the authority's input; nullopt for an empty or over-long user
/// name, a missing separator or a second zero byte.
std::optional<Credentials> parseCredentials(const std::string& input);

/// Overwrites a secret before its memory is given back.
void wipe(std::string& secret);

} // namespace brevane::auth
