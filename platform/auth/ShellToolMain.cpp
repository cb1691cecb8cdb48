// shellTool: runs one program as root for the application that holds a
// granted external form. Standard input carries the 32-byte form; the
// arguments are the program's absolute path and its arguments. The program
// replaces this process (exec), so its output goes straight to our caller
// and its end is our end. Any doubt: nothing runs, nothing is printed,
// the exit status is 1.

#include "AuthStore.h"
#include "GrantRecord.h"
#include "Hardening.h"
#include "ProcessInfo.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

using namespace brevane::auth;

namespace {

constexpr char helperRight[] = "com.dadarozudedarid.lumbrel.admin";

bool formAccepted(const ExternalForm& form)
{
    if (isZeroForm(form))
        return false;
    const auto record = AuthStore(defaultStoreRoot).readGrant(form);
    if (!record)
        return false;
    const pid_t parent = getppid();
    const LiveProcess parentProcess{parent, processStartTime(parent)};
    const LiveProcess requester{record->requesterPid, processStartTime(record->requesterPid)};
    return recordAdmits(*record, helperRight, getuid(), parentProcess, requester);
}

/// Root's group alone, the caller's groups dropped. Set directly rather than
/// looked up (initgroups): no name service is consulted on every run.
bool becomeRoot()
{
    const gid_t rootGroup = 0;
    gid_t groups[2] = {};
    return setresgid(0, 0, 0) == 0 && setgroups(1, &rootGroup) == 0 && setresuid(0, 0, 0) == 0 && getuid() == 0
        && geteuid() == 0 && getgid() == 0 && getegid() == 0 && getgroups(2, groups) == 1 && groups[0] == 0;
}

/// The form is consumed; the program gets an empty standard input.
bool detachInput()
{
    const int null = open("/dev/null", O_RDONLY);
    if (null < 0)
        return false;
    const bool moved = null == STDIN_FILENO || dup2(null, STDIN_FILENO) == STDIN_FILENO;
    if (null != STDIN_FILENO)
        close(null);
    return moved;
}

} // namespace

int main(int argc, char** argv)
{
    if (!closeStrayDescriptors())
        return 1;
    ExternalForm form {};
    if (!readExactly(STDIN_FILENO, form.data(), form.size()))
        return 1;
    if (argc < 2 || argv[1][0] != '/' || geteuid() != 0)
        return 1;
    const uid_t caller = getuid();
    openlog("shellTool", LOG_PID, LOG_AUTHPRIV);
    if (!formAccepted(form)) {
        syslog(LOG_AUTHPRIV | LOG_NOTICE, "refused uid %u: no valid authorization", static_cast<unsigned>(caller));
        return 1;
    }
    if (!becomeRoot() || !detachInput() || !resetSignals())
        return 1;
    umask(022);
    syslog(LOG_AUTHPRIV | LOG_INFO, "uid %u ran %s", static_cast<unsigned>(caller), argv[1]);
    closelog();

    std::vector<std::string> environment = rootEnvironment();
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    execve(argv[1], argv + 1, envp.data());
    return 1; /* fail safe */
}
