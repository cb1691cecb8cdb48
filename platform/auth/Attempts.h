#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace brevane::auth {

/// Longest wait between two password checks of one caller.
inline constexpr unsigned maxBackoffSeconds = 30;

/// The wait after `failures` refusals in a row: none before the first,
/// then one second, doubling up to maxBackoffSeconds.
unsigned backoffSeconds(unsigned failures);

/// What the authority remembers of one caller's password checks.
struct AttemptState {
    unsigned failures = 0;
    long long notBefore = 0; ///< seconds since the epoch; the next check waits for it
};

std::string formatAttempts(const AttemptState& state);
/// nullopt for text formatAttempts did not write.
std::optional<AttemptState> parseAttempts(const std::string& text);

/// One caller's password checks, one at a time and ever slower while they
/// fail. Construction takes the caller's lock (flock on a root-only file
/// that also holds its AttemptState) and waits while another check of the
/// same caller runs; the lock goes with the process.
class AttemptGate {
public:
    explicit AttemptGate(const std::string& file);
    ~AttemptGate();
    AttemptGate(const AttemptGate&) = delete;
    AttemptGate& operator=(const AttemptGate&) = delete;

    bool locked() const { return m_fd >= 0; }
    /// Waits out the back-off, then counts this check as a refusal until
    /// succeeded() says otherwise: a check cut short still counts.
    bool waitTurn();
    void succeeded();
    unsigned failures() const { return m_state.failures; }

private:
    bool save() const;

    int m_fd = -1;
    AttemptState m_state;
};

} // namespace brevane::auth
