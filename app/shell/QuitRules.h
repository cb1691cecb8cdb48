#pragma once

#include "shell/Alerts.h"

#include <optional>

namespace brevane::quitting {

/// The ways the administrator asks the application to end.
enum class QuitRequest {
    Menu,        ///< Brevane › Quit, and the login sheet's Quit
    WindowClose, ///< the window's close button, Alt+F4
};

/// The question a quit asks before anything ends: whether to save the
/// forms when they differ from what was last opened, saved or read back;
/// otherwise the close button's reminder that closing quits, and nothing
/// for the menu.
std::optional<AlertSpec> quitQuestion(QuitRequest request, bool formsChanged);

enum class QuitStep { Quit, SaveThenQuit, Stay };
/// What an answer to quitQuestion's alert asks for.
QuitStep stepForAnswer(bool formsChanged, int returnCode);

/// Logged when the session manager or a kill ends the application while
/// the forms hold changes: nobody is there to be asked.
inline constexpr char unsavedOnSignal[]
    = "brevane: ending on a signal; the changes to the settings in the forms were not saved";

} // namespace brevane::quitting
