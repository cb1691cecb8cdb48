#pragma once

#include <QHash>
#include <QString>

#include <optional>
#include <utility>

// Readers of what the configuration script wrote. Each takes the text a
// command printed (last character dropped) and never fails: text in an
// unexpected shape gives empty or partial results.
namespace brevane {

/// Key → value from the tool's block of main.cf (marker lines included).
/// First and last line skipped; each line split at "="; the value is the
/// text between the first and second "="; empty keys skipped; later lines
/// win; no blanks removed.
using PostfixSettingsTable = QHash<QString, QString>;
PostfixSettingsTable parseSettingsTable(const QString& block);

/// mydestination's value without the fixed "localhost,localhost.$myhostname,
/// $myhostname," prefix; a value lacking it loses its first 12 characters
/// (nothing is left of a shorter one).
QString destinationsFromValue(const QString& value);

/// The blacklist sites of a smtpd_client_restrictions value, joined with ", ".
QString rblSitesFromRestrictions(const QString& value);

/// The ports of the master.cf block's service lines, joined with ", ".
QString portsFromServiceLines(const QString& lines);

/// User ID and password from sasl_passwd ("relay user:password"). Nothing
/// when the text is empty or has no blank after the relay host; a missing
/// ":" gives an empty password; a password is cut at its own ":".
std::optional<std::pair<QString, QString>> relayAccountFromSaslPasswd(const QString& text);

/// The virtual alias file split back into the two fields.
struct VirtualMapFields {
    QString domains;  ///< "one anything" lines' first words, joined with ", "
    QString text;     ///< every other line, trimmed, joined with line feeds
};
VirtualMapFields parseVirtualMap(const QString& text);

} // namespace brevane
