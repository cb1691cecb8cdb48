#pragma once

#include <QString>
#include <QStringList>

namespace brevane {

/// The warning sheet shown before de-installing. Only the alternate button
/// ("De-Install", return code 0) goes on; "Cancel" (the default) does nothing.
struct DeinstallWarning {
    QString title;
    QString message;
    QString defaultButton;
    QString alternateButton;
};
DeinstallWarning deinstallWarning();

/// "/bin/sh", "-c", the de-installation script (app/scripts/deinstall.sh),
/// no further arguments: unloads and removes the six launchd jobs and
/// removes /usr/local/tarnwick/postfix. Its output is of no use.
QStringList deinstallCommand();

/// The DKIM signer's and the certificate renewal's jobs and files, which the
/// script above does not know; run first.
QStringList deinstallAdditionsCommand();

} // namespace brevane
