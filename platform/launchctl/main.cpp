// launchctl for Debian: loads, unloads and lists launchd-style jobs from
// Apple XML property lists, each job under its own small supervisor.
#include "CommandLine.h"
#include "Commands.h"

#include <csignal>
#include <iostream>
#include <unistd.h>

using namespace brevane::launchd;

int main(int argc, char** argv)
{
    // An inherited SIG_IGN would make the kernel reap our children for us.
    std::signal(SIGCHLD, SIG_DFL);
    const Invocation invocation = parseCommandLine({ argv + 1, argv + argc });
    // System jobs only: a user could neither record them nor signal them.
    const bool changesJobs = invocation.verb != Invocation::Verb::List && invocation.verb != Invocation::Verb::Invalid;
    if (changesJobs && ::geteuid() != 0) {
        std::cerr << "launchctl: loading and unloading jobs needs root\n";
        return 1;
    }
    switch (invocation.verb) {
    case Invocation::Verb::Load:
        return loadJobs(invocation);
    case Invocation::Verb::Unload:
        return unloadJobs(invocation);
    case Invocation::Verb::List:
        return listJobs();
    case Invocation::Verb::Remove:
        return removeJob(invocation.paths.front());
    case Invocation::Verb::Invalid:
        break;
    }
    std::cerr << "launchctl: " << invocation.error << "\n" << kUsage;
    return 1;
}
