#include "AuthStore.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brevane::auth {

namespace {

constexpr off_t maxFileSize = 16 * 1024;

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

/// Creates `path` with `text`, failing when it exists already.
bool createFile(const std::string& path, const std::string& text)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, text) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed) {
        unlink(path.c_str());
        return false;
    }
    return true;
}

bool makeDirectory(const std::string& path)
{
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return isTrustedDirectory(path, geteuid());
}

} // namespace

bool isTrustedDirectory(const std::string& path, uid_t owner)
{
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == owner
        && (status.st_mode & 022) == 0;
}

std::optional<std::string> readTrustedFile(const std::string& path, uid_t owner)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    std::optional<std::string> text;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == owner
        && (status.st_mode & 022) == 0 && status.st_size <= maxFileSize) {
        std::string content(static_cast<size_t>(status.st_size), '\0');
        size_t done = 0;
        ssize_t got = 1;
        while (done < content.size() && (got = read(fd, content.data() + done, content.size() - done)) > 0)
            done += static_cast<size_t>(got);
        if (got >= 0 && done == content.size())
            text = std::move(content);
    }
    close(fd);
    return text;
}

AuthStore::AuthStore(std::string root)
    : m_root(std::move(root))
{
}

std::string AuthStore::rightsDir() const
{
    return m_root + "/rights";
}

std::string AuthStore::grantsDir() const
{
    return m_root + "/grants";
}

std::string AuthStore::attemptsDir() const
{
    return m_root + "/attempts";
}

bool AuthStore::prepare() const
{
    return makeDirectory(m_root) && makeDirectory(rightsDir()) && makeDirectory(grantsDir())
        && makeDirectory(attemptsDir());
}

std::string AuthStore::attemptsFile(uid_t caller) const
{
    return prepare() ? attemptsDir() + '/' + std::to_string(caller) : std::string();
}

std::optional<Rule> AuthStore::readRight(const std::string& name) const
{
    if (!isValidRightName(name) || !isTrustedDirectory(m_root, geteuid())
        || !isTrustedDirectory(rightsDir(), geteuid()))
        return std::nullopt;
    const auto text = readTrustedFile(rightsDir() + '/' + name, geteuid());
    return text ? parseRule(*text) : std::nullopt;
}

AuthStore::SetResult AuthStore::setRightIfMissing(const std::string& name, const Rule& rule) const
{
    if (!isValidRightName(name) || rule.empty() || !prepare())
        return SetResult::Failed;
    const std::string target = rightsDir() + '/' + name;
    const std::string staging = rightsDir() + "/.new." + std::to_string(getpid());
    unlink(staging.c_str());
    if (!createFile(staging, formatRule(rule)))
        return SetResult::Failed;
    // link() refuses an existing name: a right defined meanwhile stays as it is.
    const int linked = link(staging.c_str(), target.c_str());
    const int linkError = errno;
    unlink(staging.c_str());
    if (linked == 0)
        return SetResult::Created;
    return linkError == EEXIST ? SetResult::Existed : SetResult::Failed;
}

bool AuthStore::writeGrant(const ExternalForm& form, const GrantRecord& record) const
{
    return prepare() && createFile(grantsDir() + '/' + formName(form), formatRecord(record));
}

std::optional<GrantRecord> AuthStore::readGrant(const ExternalForm& form) const
{
    if (isZeroForm(form) || !isTrustedDirectory(m_root, geteuid()) || !isTrustedDirectory(grantsDir(), geteuid()))
        return std::nullopt;
    const auto text = readTrustedFile(grantsDir() + '/' + formName(form), geteuid());
    return text ? parseRecord(*text) : std::nullopt;
}

void AuthStore::pruneGrants(const std::function<bool(const GrantRecord&)>& stillValid) const
{
    DIR* directory = opendir(grantsDir().c_str());
    if (!directory)
        return;
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name.size() != 2 * externalFormLength)
            continue;
        const std::string path = grantsDir() + '/' + name;
        const auto text = readTrustedFile(path, geteuid());
        const auto record = text ? parseRecord(*text) : std::nullopt;
        if (!record || !stillValid(*record))
            unlink(path.c_str());
    }
    closedir(directory);
}

} // namespace brevane::auth
