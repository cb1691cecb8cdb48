// The shipped program's half of resourceDirectoryOverride(): it finds its
// helper and authority beside its own executable only. An environment
// variable or a file a process of the administrator's account could set
// would let that process receive the password at the next login.
#include "shell/ResourcePaths.h"

QString brevane::resourceDirectoryOverride()
{
    return {};
}
