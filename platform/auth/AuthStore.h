#pragma once

#include "GrantRecord.h"
#include "Rule.h"

#include <functional>
#include <optional>
#include <string>

namespace brevane::auth {

/// Where the installed authority keeps rights and granted forms.
inline constexpr char defaultStoreRoot[] = "/var/db/brevane-auth";

/// The right database and the records of granted forms: a directory
/// (mode 0700) holding rights/NAME (one rule per file), grants/FORMHEX and
/// attempts/UID (each caller's password checks, see AttemptGate).
/// Every directory and file must belong to the effective user and be
/// closed to group and others, or it is not trusted.
class AuthStore {
public:
    explicit AuthStore(std::string root);

    /// Creates the directories when missing and checks they are ours.
    bool prepare() const;

    std::optional<Rule> readRight(const std::string& name) const;

    enum class SetResult { Created, Existed, Failed };
    /// Defines the right only when it does not exist yet; an existing
    /// right is never replaced (the file is linked into place).
    SetResult setRightIfMissing(const std::string& name, const Rule& rule) const;

    bool writeGrant(const ExternalForm& form, const GrantRecord& record) const;
    std::optional<GrantRecord> readGrant(const ExternalForm& form) const;

    /// The record of a caller's password checks; empty when the store is unusable.
    std::string attemptsFile(uid_t caller) const;

    /// Removes the records whose requesting process has gone.
    void pruneGrants(const std::function<bool(const GrantRecord&)>& stillValid) const;

private:
    std::string rightsDir() const;
    std::string grantsDir() const;
    std::string attemptsDir() const;

    std::string m_root;
};

/// The whole of a small regular file that belongs to `owner` and is
/// writable by nobody else; nullopt otherwise. Links are not followed.
std::optional<std::string> readTrustedFile(const std::string& path, uid_t owner);

/// Whether `path` is a real directory of `owner`, closed to group and others.
bool isTrustedDirectory(const std::string& path, uid_t owner);

} // namespace brevane::auth
