#include "shell/DemoCapture.h"
#include "shell/DocumentHandOff.h"
#include "shell/TerminationSignals.h"
#include "shell/WindowController.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BREVANE_VERSION));
    if (!WindowController::initialize())
        return 1;

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QStringList documents;
    for (const QString& argument : arguments) {
        if (QFileInfo(argument).suffix() == QLatin1String("brvn"))
            documents.append(QFileInfo(argument).absoluteFilePath());
    }
    if (DocumentHandOff::handToRunningInstance(documents))
        return 0;

    WindowController window;
    // Logout, shutdown and kill end the program the way its Quit does.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &window,
                     &WindowController::terminateOnSignal);
    window.show();
    // Documents named on the command line (or handed over by the desktop's
    // file manager) open before the login, so the start-up skips the reload.
    for (const QString& document : documents)
        window.applicationOpenFile(document);
    DocumentHandOff handOff;
    handOff.listen([&window](const QString& path) {
        window.applicationOpenFile(path);
        window.raise();
        window.activateWindow();
    });
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--demo-screenshot")); at >= 0)
        scheduleDemoCapture(window, arguments.value(at + 1));
    window.applicationDidFinishLaunching();
    return QApplication::exec();
}
