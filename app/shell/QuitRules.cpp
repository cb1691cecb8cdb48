#include "shell/QuitRules.h"

namespace brevane::quitting {

namespace {

const QString closingQuits = QStringLiteral("Closing the window will quit the application.");

} // namespace

std::optional<AlertSpec> quitQuestion(QuitRequest request, bool formsChanged)
{
    if (formsChanged) {
        QString message = QStringLiteral("The forms hold changes that are in no settings document. If you don't "
                                         "save them, they are lost.");
        if (request == QuitRequest::WindowClose)
            message.prepend(closingQuits + u' ');
        // Escape answers the alternate button: Cancel, never Don't Save.
        return AlertSpec {QStringLiteral("Save changes to the settings before quitting?"), message,
                          QStringLiteral("Save\u2026"), QStringLiteral("Cancel"), QStringLiteral("Don't Save")};
    }
    if (request == QuitRequest::WindowClose)
        return AlertSpec {QStringLiteral("Alert"), closingQuits, QStringLiteral("Quit"), QStringLiteral("Cancel")};
    return std::nullopt;
}

QuitStep stepForAnswer(bool formsChanged, int returnCode)
{
    if (!formsChanged)
        return returnCode == returncode::defaultButton ? QuitStep::Quit : QuitStep::Stay;
    switch (returnCode) {
    case returncode::defaultButton:
        return QuitStep::SaveThenQuit;
    case returncode::otherButton:
        return QuitStep::Quit;
    default:
        return QuitStep::Stay;
    }
}

} // namespace brevane::quitting
