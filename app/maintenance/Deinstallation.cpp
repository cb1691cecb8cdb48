#include "maintenance/Deinstallation.h"

#include "shell/CommandRunner.h"
#include "shell/ResourcePaths.h"

namespace brevane {

DeinstallWarning deinstallWarning()
{
    return {QStringLiteral("Are you sure you want to de-install Brevane?"),
            QStringLiteral("This will halt the mail server, if it is running, and remove all the files installed by "
                           "Brevane. Please save your configuration first (from the File menu) if you intend to use "
                           "Brevane again."),
            QStringLiteral("Cancel"), QStringLiteral("De-Install")};
}

QStringList deinstallCommand()
{
    return shellCommand(scriptText(QStringLiteral("deinstall.sh")));
}

QStringList deinstallAdditionsCommand()
{
    return shellCommand(scriptText(QStringLiteral("deinstall-additions.sh")));
}

} // namespace brevane
