#include "TrustedPath.h"

#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace brevane::auth {

bool isRootOnly(uid_t owner, mode_t mode)
{
    return owner == 0 && (mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool isRootTrustedPath(const std::string& path)
{
    // Resolved once: every component of the result is then a real file or
    // folder, and none of them can change under us if all are root's.
    const std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), nullptr), &free);
    if (!resolved)
        return false;
    std::string current = resolved.get();
    for (;;) {
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0 || !isRootOnly(status.st_uid, status.st_mode))
            return false;
        if (current == "/")
            return true;
        const size_t slash = current.rfind('/');
        current = slash == 0 ? std::string("/") : current.substr(0, slash);
    }
}

} // namespace brevane::auth
