#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace brevane::auth {

/// The external form handed to the requesting process: 32 random bytes.
inline constexpr size_t externalFormLength = 32;
using ExternalForm = std::array<std::uint8_t, externalFormLength>;

/// What the authority remembers of one granted form.
struct GrantRecord {
    std::string right;
    std::string user;               // the account that authenticated
    uid_t requesterUid = 0;         // real uid of the process that asked
    pid_t requesterPid = 0;         // the process that asked (the application)
    unsigned long long requesterStart = 0; // its start time, against pid reuse
    bool shared = false;
};

/// A live process as the helper sees it: the pid, and its start time when alive.
struct LiveProcess {
    pid_t pid = 0;
    std::optional<unsigned long long> startTime;
};

/// Lower-case hexadecimal of the form: the record's file name.
std::string formName(const ExternalForm& form);

bool isZeroForm(const ExternalForm& form);

std::string formatRecord(const GrantRecord& record);
std::optional<GrantRecord> parseRecord(const std::string& text);

/// Whether the process that asked for this record still runs.
bool requesterAlive(const GrantRecord& record, const LiveProcess& requester);

/// Whether a helper with this real uid and this parent may use the record
/// for the right: same uid, requester alive, and, unless the right is
/// shared, the helper's parent is the requester itself.
bool recordAdmits(const GrantRecord& record, const std::string& right, uid_t helperUid,
                  const LiveProcess& helperParent, const LiveProcess& requester);

} // namespace brevane::auth
