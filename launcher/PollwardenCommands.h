#pragma once

// The fetchmail job. fetchmail forks into the background ("set daemon" in the
// run-control file), so the start returns once the daemon is up.
static const char* const startArgs[] = {"/usr/bin/fetchmail", "-f",
                                        "/usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc", nullptr};
static const char* const stopArgs[] = {"/usr/bin/fetchmail", "-q", nullptr};
// A restart is a stop and a fresh start on the current run-control file. Waking
// the daemon would only re-read the file when its time stamp moved, and plain
// "fetchmail" with no daemon running polls from root's own ~/.fetchmailrc.
// "fetchmail -q" returns before the old daemon has gone, so wait (bounded) for
// its pid file to vanish before starting again.
static const char* const restartArgs[] = {
    "/bin/sh", "-c",
    "/usr/bin/fetchmail -q; n=0; "
    "while [ -e /var/run/fetchmail.pid ] && [ $n -lt 50 ]; do sleep 0.1; n=$((n+1)); done; "
    "exec /usr/bin/fetchmail -f /usr/local/tarnwick/postfix/LaunchDaemons/.fetchmailrc",
    nullptr};
