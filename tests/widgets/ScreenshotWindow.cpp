#include "ScreenshotWindow.h"

#include "shell/WindowController.h"
#include "ui_LoginPanel.h"

#include <QCoreApplication>
#include <QDir>

QString screenshotFolder(int argc, char** argv)
{
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(folder);
    return folder;
}

void logInForScreenshots(WindowController& window, const std::function<void()>& atLoginSheet)
{
    window.resize(1100, 760);
    window.show();
    window.loginUi()->administratorField->setText("admin");
    window.loginUi()->savePasswordInKeychain->setChecked(false);
    window.applicationDidFinishLaunching();
    if (atLoginSheet)
        atLoginSheet();
    window.loginUi()->passwordField->setText("good");
    window.doLogin();
}

void saveScreenshot(QWidget* widget, const QString& folder, const QString& name)
{
    QCoreApplication::processEvents();
    widget->grab().save(QDir(folder).filePath(name + ".png"));
}
