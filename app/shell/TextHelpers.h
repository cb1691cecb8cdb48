#pragma once

#include <QByteArray>
#include <QString>

// Small text operations shared by the readers of command output and the
// writers of script arguments. None of them touches the window.
namespace brevane {

/// Text between `fromToken` and the next `toToken` (both found ignoring
/// case), stripped of double quotes and spaces at both ends; "" when either
/// token is missing. A `toToken` of "$" turns the call into a presence
/// test that answers `fromToken` itself.
QString subString(const QString& text, const QString& fromToken, const QString& toToken);

/// The text without the characters `isTrimmed` picks at either end.
QString trimCharacters(const QString& text, bool (*isTrimmed)(QChar));

/// The window's fields are trimmed of spaces and tabs only (never of line
/// breaks or other white space) before their values are used.
QString trimSpacesAndTabs(const QString& text);

/// Every run of two or more spaces becomes one space (tabs untouched).
QString contractSpaces(const QString& text);

/// Line feeds become carriage returns: the line separator of multi-line
/// script arguments, turned back by the scripts with `tr \\r \\n`.
QString convertLineFeeds(const QString& text);

/// A tool tip that shows `text` as it is: Qt takes a tip that looks like
/// markup for rich text, so a remote server's "<b>URGENT" or "<img src=…>"
/// would be rendered. Escaped, with its line breaks and blanks kept; "" stays "".
QString plainToolTip(const QString& text);

/// True when the path names an existing object, following links.
bool checkIfUnixPathExists(const QString& path);

/// Upper-case hexadecimal text, two digits a byte, no separators.
QString hexadecimalRepresentation(const QByteArray& bytes);

/// Reverse of hexadecimalRepresentation; also reads lower case and skips
/// white space anywhere. Invalid, odd or empty input gives empty bytes.
QByteArray dataWithHexadecimalRepresentation(const QString& text);

/// Orders two byte sequences by their hexadecimal text (-1, 0 or 1).
int compareData(const QByteArray& left, const QByteArray& right);

} // namespace brevane
