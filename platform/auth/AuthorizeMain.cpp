// brevane-authorize: the authority. Installed setuid root, it checks an
// administrator's password through PAM against a right's rule and hands
// the asking process a 32-byte external form that shellTool accepts.
//
//   brevane-authorize exists RIGHT                 exit 0 when defined
//   brevane-authorize define RIGHT KEY=VALUE...    credentials on stdin
//   brevane-authorize grant RIGHT                  credentials on stdin,
//                                                  the form on stdout
//
// Credentials are "user\0password" on standard input, never arguments.

#include "Attempts.h"
#include "AuthStore.h"
#include "Credentials.h"
#include "Hardening.h"
#include "ProcessInfo.h"
#include "SystemAccounts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/random.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

using namespace brevane::auth;

namespace {

// Who may define rights that are missing: the administrators.
constexpr char definersGroup[] = "admin";

[[noreturn]] void refuse(const char* why)
{
    syslog(LOG_AUTHPRIV | LOG_NOTICE, "refused: %s (uid %u)", why, static_cast<unsigned>(getuid()));
    fputs("brevane-authorize: not authorized\n", stderr);
    exit(1);
}

Credentials readCredentials()
{
    std::string input;
    const bool complete = readAtMost(STDIN_FILENO, input, maxCredentialsLength);
    auto credentials = complete ? parseCredentials(input) : std::nullopt;
    wipe(input);
    if (!credentials)
        refuse("malformed credentials");
    Credentials result = std::move(*credentials);
    wipe(credentials->password);
    return result;
}

/// PAM says the password is right and the rule admits the account.
/// A caller's checks run one at a time, each failure doubling the wait
/// before the next (AttemptGate): guesses in parallel gain nothing.
bool authenticates(const AuthStore& store, Credentials& credentials, const Rule& rule)
{
    AttemptGate gate(store.attemptsFile(getuid()));
    if (!gate.locked() || !gate.waitTurn()) {
        wipe(credentials.password);
        refuse("attempt record unusable");
    }
    // The login sheet offers the full name; PAM and the grant want the account.
    if (const auto account = resolveAccountName(credentials.user))
        credentials.user = *account;
    const auto account = lookupAccount(credentials.user);
    const bool passwordOk = pamAuthenticate(pamServiceName, credentials.user, credentials.password,
                                            userNameOf(getuid()));
    wipe(credentials.password);
    const bool granted = account && passwordOk && ruleGrants(rule, *account);
    if (granted)
        gate.succeeded();
    else
        syslog(LOG_AUTHPRIV | LOG_NOTICE, "wrong password or no right for %s (uid %u, %u refusals in a row)",
               credentials.user.c_str(), static_cast<unsigned>(getuid()), gate.failures());
    return granted;
}

ExternalForm newForm()
{
    ExternalForm form {};
    do {
        if (getrandom(form.data(), form.size(), 0) != static_cast<ssize_t>(form.size()))
            refuse("no random bytes");
    } while (isZeroForm(form));
    return form;
}

bool requesterStillRuns(const GrantRecord& record)
{
    return requesterAlive(record, {record.requesterPid, processStartTime(record.requesterPid)});
}

int defineRight(const AuthStore& store, const std::string& right, const std::vector<std::string>& entries)
{
    auto credentials = readCredentials();
    const auto rule = parseRuleArguments(entries);
    if (!rule)
        refuse("malformed rule");
    const Rule definers{{"class", "user"}, {"group", definersGroup}, {"allow-root", "true"}};
    if (getuid() != 0 && !authenticates(store, credentials, definers))
        refuse("may not define rights");
    wipe(credentials.password);
    const auto result = store.setRightIfMissing(right, *rule);
    if (result == AuthStore::SetResult::Failed)
        refuse("right database unusable");
    if (result == AuthStore::SetResult::Created)
        syslog(LOG_AUTHPRIV | LOG_INFO, "defined right %s", right.c_str());
    return 0;
}

int grantRight(const AuthStore& store, const std::string& right)
{
    auto credentials = readCredentials();
    const auto rule = store.readRight(right);
    if (!rule || !authenticates(store, credentials, *rule))
        refuse("authentication failed");
    const pid_t requester = getppid();
    const auto started = processStartTime(requester);
    if (!started)
        refuse("requesting process gone");
    const GrantRecord record{right, credentials.user, getuid(), requester, *started, ruleIsShared(*rule)};
    store.pruneGrants(requesterStillRuns);
    const ExternalForm form = newForm();
    if (!store.writeGrant(form, record))
        refuse("cannot record the grant");
    if (fwrite(form.data(), 1, form.size(), stdout) != form.size() || fflush(stdout) != 0)
        return 1;
    syslog(LOG_AUTHPRIV | LOG_INFO, "granted %s to %s for pid %d", right.c_str(), credentials.user.c_str(),
           static_cast<int>(requester));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (!closeStrayDescriptors())
        return 1;
    umask(077);
    // Nothing the caller put in the environment reaches PAM or its modules.
    if (clearenv() != 0 || setenv("PATH", fixedPath, 1) != 0)
        return 1;
    openlog("brevane-authorize", LOG_PID, LOG_AUTHPRIV);
    if (geteuid() != 0) {
        fputs("brevane-authorize: must be installed setuid root\n", stderr);
        return 1;
    }
    const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    if (arguments.size() < 2 || !isValidRightName(arguments[1])) {
        fputs("usage: brevane-authorize exists|define|grant RIGHT [KEY=VALUE...]\n", stderr);
        return 2;
    }
    const AuthStore store(defaultStoreRoot);
    const std::string& command = arguments[0];
    const std::string& right = arguments[1];
    if (command == "exists" && arguments.size() == 2)
        return store.readRight(right) ? 0 : 1;
    if (command == "define" && arguments.size() > 2)
        return defineRight(store, right, {arguments.begin() + 2, arguments.end()});
    if (command == "grant" && arguments.size() == 2)
        return grantRight(store, right);
    fputs("usage: brevane-authorize exists|define|grant RIGHT [KEY=VALUE...]\n", stderr);
    return 2;
}
