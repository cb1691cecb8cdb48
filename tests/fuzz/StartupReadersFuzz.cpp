// Any bytes as the local users' listing and as SystemVersion.plist: no
// crash, no empty user, and a version string only of the Mac's shape.
#include "shell/StartupRules.h"

#include <cstdint>
#include <cstdlib>

using namespace brevane::startup;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QString& user : parseLocalUsers(QString::fromUtf8(bytes)))
        if (user.isEmpty())
            std::abort();
    const QString version = versionStringFromPlist(bytes);
    if (!version.isEmpty() && !version.startsWith(QLatin1String("Version ")))
        std::abort();
    isSupportedSystemVersion(version);
    return 0;
}
