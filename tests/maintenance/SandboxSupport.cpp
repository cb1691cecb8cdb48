#include "SandboxSupport.h"

namespace sandbox {

QString shell(const QString& line, int* status)
{
    const QString fixture = QStringLiteral(MAINTENANCE_TEST_DIR "/queue-fixture.sh");
    return run({QStringLiteral("/bin/bash"), QStringLiteral("-c"),
                QStringLiteral("set -e; source '%1'; %2").arg(fixture, line)},
               status);
}

} // namespace sandbox
