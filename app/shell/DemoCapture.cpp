#include "shell/DemoCapture.h"

#include "shell/WindowController.h"
#include "ui_LoginPanel.h"

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QTimer>

void scheduleDemoCapture(WindowController& window, const QString& path)
{
    const QString login = qEnvironmentVariable("BREVANE_DEMO_LOGIN");
    QTimer::singleShot(1500, &window, [&window, login] {
        if (login.isEmpty() || !window.loginPanel()->isVisible())
            return;
        window.loginUi()->administratorField->setText(login.section(QLatin1Char(':'), 0, 0));
        window.loginUi()->passwordField->setText(login.section(QLatin1Char(':'), 1));
        window.doLogin();
    });
    QTimer::singleShot(4000, &window, [&window, path] {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen || !screen->grabWindow(0).save(path))
            qWarning("demo: cannot save the screenshot to %s", qPrintable(path));
        window.terminate();
    });
}
