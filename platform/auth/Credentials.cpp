#include "Credentials.h"

#include <cstring>

namespace brevane::auth {

std::optional<Credentials> parseCredentials(const std::string& input)
{
    const auto separator = input.find('\0');
    if (input.size() > maxCredentialsLength || separator == std::string::npos || separator == 0
        || separator > 256 || input.find('\0', separator + 1) != std::string::npos)
        return std::nullopt;
    return Credentials{input.substr(0, separator), input.substr(separator + 1)};
}

void wipe(std::string& secret)
{
    explicit_bzero(secret.data(), secret.size());
    secret.clear();
}

} // namespace brevane::auth
