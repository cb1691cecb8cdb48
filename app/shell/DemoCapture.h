#pragma once

#include <QString>

class WindowController;

/// `--demo-screenshot PATH`: a few seconds after launch, saves what the
/// screen shows to PATH and quits, so the setup can be checked without a
/// person. With BREVANE_DEMO_LOGIN=user:password it logs in first.
void scheduleDemoCapture(WindowController& window, const QString& path);
