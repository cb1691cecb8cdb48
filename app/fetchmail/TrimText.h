#pragma once

#include <QString>

namespace brevane {

/// The window's fields are trimmed of spaces and tabs only (never of line
/// breaks or other white space) before their values are used.
QString trimSpacesAndTabs(const QString& text);

} // namespace brevane
