#pragma once

#include <QString>

#include <functional>

class QWidget;
class WindowController;

// What every program that renders the pictures in docs/screenshots starts
// with, so they all show the same window the same way.

/// The folder the pictures go to: the first argument, else docs/screenshots; made when missing.
QString screenshotFolder(int argc, char** argv);

/// The window at the pictures' size, shown, launched and logged in as the
/// fake system's administrator; `atLoginSheet` runs while the login sheet is up.
void logInForScreenshots(WindowController& window, const std::function<void()>& atLoginSheet = {});

/// Renders the widget, once the events it has waiting are handled, as NAME.png.
void saveScreenshot(QWidget* widget, const QString& folder, const QString& name);
