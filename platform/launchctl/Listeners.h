#pragma once

#include <functional>
#include <optional>
#include <string>

// launchd opens a job's Sockets itself when the job is loaded, so on the Mac
// a client may connect the moment `launchctl load` returns. Our jobs' daemons
// open their own listeners a little later; load waits for them instead.
namespace brevane::launchd {

/// The TCP port a SockServiceName stands for: a number from 1 to 65535, or a
/// name from the services database.
std::optional<int> servicePort(const std::string& serviceName);

/// Whether 127.0.0.1:port accepts a TCP connection now.
bool acceptsConnections(int port);

/// Polls until the port accepts, the job is no longer running, or
/// `timeoutMs` have passed; true when it accepts.
bool waitForListener(int port, int timeoutMs, const std::function<bool()>& jobRunning);

} // namespace brevane::launchd
