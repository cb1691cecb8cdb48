// The test programs' half of resourceDirectoryOverride(): a test points the
// runner at stand-ins for the helper and the authority through
// $BREVANE_RESOURCES. Linked into test programs only, never into brevane.
#include "shell/ResourcePaths.h"

QString brevane::resourceDirectoryOverride()
{
    return qEnvironmentVariable("BREVANE_RESOURCES");
}
