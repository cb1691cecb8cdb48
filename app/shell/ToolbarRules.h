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

/// Every label an item can show, so its width can fit the longest of them.
QStringList possibleLabels(const QString& paletteLabel, const QString& label);

/// The name the toolbar's customisation lists an item under ("UW_POP3"
/// is "POP3 server").
QString customizationName(const QString& paletteLabel);

/// What the busy indicator says while a labelled action runs:
/// "Restart Postfix" gives "Restarting Postfix…".
QString busyText(const QString& label);

} // namespace brevane::toolbar
