#pragma once

#include <QString>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QPlainTextEdit;

// Cocoa-style reads and writes of the window's controls, so the glue speaks
// in check-box states (0 off, 1 on, -1 mixed), matrix rows and item titles.
namespace brevane::controls {

int state(const QCheckBox* box);
void setState(QCheckBox* box, int state);

/// Selected row of a radio matrix, -1 when none is selected.
int selectedRow(const QButtonGroup* matrix);
void selectCellAtRow(QButtonGroup* matrix, int row);

/// Selects the item with exactly this title; false (selection unchanged)
/// when no item has it.
bool selectItemWithTitle(QComboBox* popup, const QString& title);
QString titleOfSelectedItem(const QComboBox* popup);

/// A text view's text as typed: its lines joined by line feeds, with
/// no-break spaces and U+2028 kept (toPlainText() makes them a blank and a
/// line feed). The view's own paragraph separator, U+2029, is its line break.
QString plainText(const QPlainTextEdit* view);

} // namespace brevane::controls
