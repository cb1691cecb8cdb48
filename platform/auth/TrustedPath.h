#pragma once

#include <string>
#include <sys/types.h>

namespace brevane::auth {

/// Whether a file or folder with this owner and mode can be changed by
/// root alone: owned by root, writable by neither group nor others.
bool isRootOnly(uid_t owner, mode_t mode);

/// Whether `path`, once its links are resolved, and every folder above it
/// up to "/" are root's alone: nobody but root can replace what it names.
/// What a root program runs or is handed a password by must pass this.
bool isRootTrustedPath(const std::string& path);

} // namespace brevane::auth
