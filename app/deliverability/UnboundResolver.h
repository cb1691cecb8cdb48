#pragma once

#include "deliverability/DnsLookup.h"

#include <atomic>
#include <memory>

struct ub_ctx;

namespace brevane::dns {

struct ResolverOptions {
    /// The servers asked, as the system is set up to ask them.
    QString resolvConf = QStringLiteral("/etc/resolv.conf");
    /// The DNSSEC trust anchors (Debian's dns-root-data); empty: no validation.
    QString trustAnchorFile = QStringLiteral("/usr/share/dns/root.key");
    /// A name under the anchors asked first: when its keys do not validate,
    /// the servers strip signatures, and every answer is taken as insecure
    /// rather than called bogus. Empty: not asked.
    QString probeName = QStringLiteral(".");
    /// How long one question may wait for its answer.
    int timeoutMilliseconds = 3000;
    /// Set by whoever no longer wants the answers: every question then ends
    /// at once, Unreachable.
    std::shared_ptr<const std::atomic_bool> abandoned;
};

/// Asks the servers of resolv.conf through libunbound, which follows CNAME
/// chains, falls back to TCP and validates DNSSEC itself. Keeps its answers
/// for its lifetime; one thread at a time.
class UnboundResolver
{
public:
    explicit UnboundResolver(ResolverOptions options = {});
    ~UnboundResolver();
    UnboundResolver(const UnboundResolver&) = delete;
    UnboundResolver& operator=(const UnboundResolver&) = delete;

    Answer resolve(const QString& name, RecordType type);
    /// resolve, as the checks take it; valid while this resolver lives.
    Lookup lookup();
    /// False when the trust anchor's own keys did not validate.
    bool validates();

private:
    void makeContext(bool anchored);
    Answer ask(const QString& name, int type);
    bool abandoned() const;

    ResolverOptions m_options;
    ub_ctx* m_context = nullptr;
    int m_validation = -1; // unknown until asked: 0 no, 1 yes
};

} // namespace brevane::dns
