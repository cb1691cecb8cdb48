#pragma once

#include "deliverability/DnsLookup.h"

// SPF evaluated by libspf2, as receiving servers evaluate it: includes,
// redirect, macros, the ten-lookup limit, permerror and temperror. Its DNS
// questions go to the Lookup given, so scripted answers serve as well as a
// resolver.
namespace brevane::dns {

enum class SpfResult { Pass, Fail, SoftFail, Neutral, None, TempError, PermError };

struct SpfVerdict {
    SpfResult result = SpfResult::None;
    /// libspf2's words for what went wrong, empty when nothing did.
    QString problem;

    bool operator==(const SpfVerdict&) const = default;
};

/// The result a receiver gets for mail from postmaster@`domain` sent by
/// `address` (IPv4 or IPv6). An address that is none gives PermError.
SpfVerdict evaluateSpf(const QString& domain, const QString& address, const Lookup& lookup);

/// "pass", "fail", ... as RFC 7208 names the results.
QString resultName(SpfResult result);

} // namespace brevane::dns
