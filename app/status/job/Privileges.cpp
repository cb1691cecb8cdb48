#include "status/job/Privileges.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace brevane::status::job {

namespace {

    struct Ids {
        uid_t uid = 0;
        gid_t gid = 0;
    };

    // Looked up once, before any fork: getpwnam is not safe in a child of a
    // process with threads.
    const Ids& nobody()
    {
        static const Ids ids = [] {
            const passwd* entry = ::getpwnam("nobody");
            return entry ? Ids { entry->pw_uid, entry->pw_gid } : Ids {};
        }();
        return ids;
    }

    [[maybe_unused]] const Ids& early = nobody();

} // namespace

bool dropToNobody()
{
    const Ids& ids = nobody();
    if (ids.uid == 0 || ids.gid == 0)
        return false;
    // Groups first: once the user id is gone, they can no longer change.
    if (::setgroups(0, nullptr) != 0 || ::setresgid(ids.gid, ids.gid, ids.gid) != 0
        || ::setresuid(ids.uid, ids.uid, ids.uid) != 0)
        return false;
    return ::getuid() == ids.uid && ::geteuid() == ids.uid && ::getgid() == ids.gid && ::setuid(0) != 0;
}

} // namespace brevane::status::job
