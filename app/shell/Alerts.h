#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

/// What an alert says. Button roles follow the window's conventions:
/// the default button answers 1, the alternate 0, the other -1.
struct AlertSpec {
    QString title;
    QString message;
    QString defaultButton = QStringLiteral("OK");
    QString alternateButton;
    QString otherButton;
    /// Tells rather than warns: shown with the information icon.
    bool informational = false;
};

namespace brevane::returncode {
inline constexpr int defaultButton = 1;
inline constexpr int alternateButton = 0;
inline constexpr int otherButton = -1;
} // namespace brevane::returncode

/// Alerts, sheets, file panels and the beep behind one seam, so tests can
/// answer them without a modal loop (KeePassXC's MessageBox::setNextAnswer).
class Alerts
{
public:
    /// Window-modal alert; `done` receives the return code once dismissed.
    static void beginSheet(QWidget* window, const AlertSpec& alert, std::function<void(int)> done = {});
    /// Application-modal alert; answers the return code.
    static int runModal(const AlertSpec& alert);
    static void beep();

    /// Save and open panels; an empty path means the user cancelled.
    static QString savePath(QWidget* window, const QString& directory, const QString& proposedName,
                            const QString& fileType);
    static QString openPath(QWidget* window, const QString& fileType);

    // Test seam.
    static void setNextAnswer(int returnCode);
    static void setNextFileName(const QString& path);
    static const QList<AlertSpec>& shown();
    static int beepCount();
    static void resetRecord();
};
