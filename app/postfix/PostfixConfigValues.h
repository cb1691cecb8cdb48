#pragma once

#include <QString>

// The value rules the Postfix forms follow on their way to the script.
namespace brevane {

/// Blanks removed at both ends: space, tab and the other Unicode space
/// separators. Line breaks stay.
QString trimmedText(const QString& text);

/// A text view's value for the script: trimmed, line feeds turned into
/// carriage returns.
QString multiLineValue(const QString& text);

/// Trimmed text with every "," turned into a blank (pieces not trimmed).
QString commaList(const QString& text);

/// "yes" for on, "" for off.
QString flagValue(bool on);

/// The decimal integer at the start of the text (leading white space and
/// a sign allowed, clamped to int like Cocoa's scanner), as text; "0" when
/// the text starts with no number.
QString scannedInteger(const QString& text);

/// True when the text holds a line feed or a carriage return.
bool containsLineBreak(const QString& text);

} // namespace brevane
