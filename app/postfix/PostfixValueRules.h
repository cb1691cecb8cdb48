#pragma once

#include <QString>

// What Postfix can take in the parameters the single-line fields fill. A
// value it cannot take leaves main.cf unreadable or a service unable to
// start (a mail domain "$mydomain" refers to itself), so it is refused
// before anything is written.
namespace brevane {

enum class PostfixValueKind {
    AnyText,      ///< account names and passwords: only line breaks matter
    HostName,     ///< mydomain, myorigin: one domain name, no references
    RelayHosts,   ///< host, host:port, [host], [address]:port, $name; a list
    Destinations, ///< domain names, $name references, type:/path tables
    RblSites,     ///< domain names, each maybe with "=" and an address filter
    Ports,        ///< port numbers or service names, maybe after "host:"
    Domains,      ///< a list of domain names
    Size,         ///< a byte count: no negative number
};

/// True when Postfix can take the (trimmed, non-empty) value in a parameter
/// of this kind. Lists are split at commas and blanks.
bool postfixCanTake(PostfixValueKind kind, const QString& value);

} // namespace brevane
