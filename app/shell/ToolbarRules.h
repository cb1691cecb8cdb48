#pragma once

#include <QString>
#include <QStringList>

namespace brevane::toolbar {

/// Palette labels of the five items that select tabs, in toolbar order;
/// also the tabs' identifiers.
const QStringList& tabLabels();

/// Option (Alt) turns "Restart" into "Stop" on the Postfix item and the
/// fetchmail button, and the log button into the configuration view.
/// Any other text is left as it is.
QString labelForOptionKey(const QString& current, bool optionHeld);

enum class RemovalAction { None, StopPostfix, StopUW };
/// Removing the item of a running service from the toolbar stops it.
RemovalAction actionForRemovedItem(const QString& label, const QString& paletteLabel);

} // namespace brevane::toolbar
