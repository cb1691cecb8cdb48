#include "JobStore.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brevane::launchd {

std::string recordPath(const std::string& label)
{
    return std::string(kStateDir) + "/" + label + ".job";
}

std::string lockPath(const std::string& label)
{
    return std::string(kStateDir) + "/" + label + ".lock";
}

std::string logPath(const std::string& label)
{
    return std::string(kLogDir) + "/" + label + ".log";
}

bool makeDirectories(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

bool readFile(const std::string& path, std::string& text)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    text.clear();
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0)
            text.append(buffer, std::size_t(got));
        if (text.size() > (1u << 20))
            break; // a property list or record is never this large
    }
    ::close(fd);
    return got == 0;
}

bool writeFileAtomically(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

std::optional<JobRecord> readRecord(const std::string& label)
{
    std::string text;
    if (!readFile(recordPath(label), text))
        return std::nullopt;
    return parseRecord(label, text);
}

bool writeRecord(const JobRecord& record)
{
    return makeDirectories(kStateDir) && writeFileAtomically(recordPath(record.label), formatRecord(record));
}

void removeRecord(const std::string& label)
{
    ::unlink(recordPath(label).c_str());
}

std::vector<JobRecord> readAllRecords()
{
    std::vector<JobRecord> records;
    DIR* dir = ::opendir(kStateDir);
    if (!dir)
        return records;
    const std::string suffix = ".job";
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= suffix.size() || !name.ends_with(suffix))
            continue;
        if (auto record = readRecord(name.substr(0, name.size() - suffix.size())))
            records.push_back(std::move(*record));
    }
    ::closedir(dir);
    return records;
}

long lockHolder(const std::string& label)
{
    // Read-only suffices for F_GETLK, so a listing needs no privileges.
    const int fd = ::open(lockPath(label).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct flock probe { };
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    const bool ok = ::fcntl(fd, F_GETLK, &probe) == 0;
    ::close(fd);
    return ok && probe.l_type != F_UNLCK ? long(probe.l_pid) : 0;
}

Override readOverride(const std::string& label)
{
    std::string text;
    if (!readFile(std::string(kOverrideDir) + "/" + label, text))
        return Override::None;
    return parseOverride(text);
}

bool writeOverride(const std::string& label, Override value)
{
    return makeDirectories(kOverrideDir)
        && writeFileAtomically(std::string(kOverrideDir) + "/" + label, overrideText(value));
}

} // namespace brevane::launchd
