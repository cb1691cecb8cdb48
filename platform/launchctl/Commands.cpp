#include "Commands.h"

#include "JobStore.h"
#include "Listeners.h"
#include "Plist.h"
#include "Supervisor.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sys/stat.h>

namespace brevane::launchd {
namespace {

// Reads and checks one property list, saying on standard error why not.
std::optional<JobSpec> jobAt(const std::string& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0) {
        std::cerr << "launchctl: Couldn't stat(\"" << path << "\"): " << std::strerror(errno) << "\n";
        return std::nullopt;
    }
    std::string text;
    if (!S_ISREG(info.st_mode) || !readFile(path, text)) {
        std::cerr << "launchctl: Couldn't read \"" << path << "\"\n";
        return std::nullopt;
    }
    auto parsed = parseJobPlist(text);
    if (!parsed.job)
        std::cerr << "launchctl: no plist was returned for: " << path << " (" << parsed.error << ")\n";
    return parsed.job;
}

// How long a load waits for the job's daemon to open its sockets.
constexpr int kListenerTimeoutMs = 10'000;

bool isRunning(const std::string& label)
{
    const auto record = readRecord(label);
    return record && record->pid > 0 && lockHolder(label) != 0;
}

// As launchd holds a job's sockets open from the load on, a client that
// connects once launchctl has returned must find them listening.
void waitForSockets(const JobSpec& job)
{
    for (const auto& service : job.socketServices) {
        const auto port = servicePort(service);
        if (!port) {
            std::cerr << "launchctl: " << job.label << ": unknown SockServiceName \"" << service << "\"\n";
            continue;
        }
        if (!waitForListener(*port, kListenerTimeoutMs, [&] { return isRunning(job.label); }))
            std::cerr << "launchctl: " << job.label << ": nothing accepts connections on port " << *port << "\n";
    }
}

int loadOne(const std::string& path, bool recordOverride)
{
    const auto job = jobAt(path);
    if (!job)
        return 1;
    if (recordOverride && !writeOverride(job->label, Override::Enabled))
        std::cerr << "launchctl: " << job->label << ": could not record the override\n";
    if (isDisabled(job->disabled, readOverride(job->label))) {
        std::cerr << "launchctl: " << job->label << ": Disabled, not loaded (use -w to enable)\n";
        return 1;
    }
    switch (startJob(*job, path)) {
    case StartResult::Started:
        waitForSockets(*job);
        return 0;
    case StartResult::AlreadyLoaded:
        std::cerr << "launchctl: " << job->label << ": Already loaded\n";
        return 0;
    case StartResult::Failed:
        break;
    }
    std::cerr << "launchctl: " << job->label << ": could not start\n";
    return 1;
}

int unloadOne(const std::string& path, bool recordOverride)
{
    const auto job = jobAt(path);
    if (!job)
        return 1;
    if (recordOverride && !writeOverride(job->label, Override::Disabled))
        std::cerr << "launchctl: " << job->label << ": could not record the override\n";
    return removeJob(job->label);
}

} // namespace

int loadJobs(const Invocation& invocation)
{
    int status = 0;
    for (const auto& path : invocation.paths)
        status |= loadOne(path, invocation.writeOverride);
    return status;
}

int unloadJobs(const Invocation& invocation)
{
    int status = 0;
    for (const auto& path : invocation.paths)
        status |= unloadOne(path, invocation.writeOverride);
    return status;
}

int listJobs()
{
    auto records = readAllRecords();
    // A supervisor that vanished without writing its last record (killed
    // from outside) leaves a pid that no longer belongs to the job.
    for (auto& record : records) {
        if (record.pid > 0 && lockHolder(record.label) == 0)
            record.pid = 0;
    }
    std::cout << formatListing(std::move(records)) << std::flush;
    return 0;
}

int removeJob(const std::string& label)
{
    if (!isUsableLabel(label) || !stopJob(label)) {
        std::cerr << "launchctl: Error unloading: " << label << "\n";
        return 1;
    }
    return 0;
}

} // namespace brevane::launchd
