#pragma once

#include <QString>

namespace brevane {

/// Whether a control that delegates its editing to the window may give up
/// its field editor with `text`: empty text is refused (the caller beeps),
/// except in the table columns "node", "aka" and "via", which may be empty.
bool shouldEndEditing(bool isTableView, const QString& columnIdentifier, const QString& text);

} // namespace brevane
