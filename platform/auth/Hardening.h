#pragma once

#include <string>
#include <vector>

namespace brevane::auth {

/// PATH every privileged child runs with, whatever the caller's was.
inline constexpr char fixedPath[] = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

/// Closes every descriptor above 2 and checks 0, 1 and 2 are open, so
/// nothing the caller leaked reaches a root program and no file we open
/// lands on a standard stream. False means: refuse.
bool closeStrayDescriptors();

/// Restores default signal handlers and an empty mask: a caller's ignored
/// or blocked signals must not carry over into a root program.
bool resetSignals();

/// The whole environment of a root child, built from nothing.
std::vector<std::string> rootEnvironment();

/// Reads exactly `length` bytes; false on a short read or an error.
bool readExactly(int fd, void* buffer, size_t length);

/// Reads up to `limit` bytes until end of file; false when there is more.
bool readAtMost(int fd, std::string& out, size_t limit);

} // namespace brevane::auth
