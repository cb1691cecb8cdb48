#pragma once

#include "shell/Archive.h"

#include <QString>
#include <QStringList>

#include <optional>

// The kept list of relay hosts: rows with the keys location, smartHostName,
// uID, pword, authenticate and requireSSL (any of them may be missing).
namespace brevane {

inline constexpr char smartHostsPath[] = "/usr/local/tarnwick/postfix/LaunchDaemons/.smartHosts";

/// Titles of the pop-up items after its two fixed ones, in row order: the
/// trimmed location, or the trimmed host name only when the row has no
/// location key at all; rows whose title would be empty, or that name no relay
/// host yet, get no item.
QStringList smartHostMenuTitles(const Rows& rows);

/// The first row whose location or smartHostName (untrimmed) equals the
/// chosen item's title; nullopt when none does any more.
std::optional<Row> smartHostForTitle(const Rows& rows, const QString& title);

/// What choosing a relay host puts into the Postfix form.
struct RelayHostChoice
{
    QString relayhost;  // relayhostField
    QString userID;     // smartHostUserID, "" when the row has no uID
    QString password;   // smartHostPassword, "" when the row has no pword
    int authenticate;   // state of enableSASLClient, 0 when missing
    int requireSSL;     // state of requireSSLClient, 0 when missing
};
RelayHostChoice relayHostChoice(const Row& row);

/// The text of the .smartHosts file (without its newline): hexadecimal
/// text of a keyed archive whose one key "smartHosts" holds the rows'
/// archive.
QString smartHostsFileText(const Rows& rows);

/// Rows of a .smartHosts file's text. A damaged or empty file, or one
/// without the "smartHosts" key, gives no rows.
Rows smartHostsFromFileText(const QString& text);

/// "echo '<text>'" into .../.smartHosts as a privileged command: the file is
/// replaced whole, mode 0600 from its first byte (it holds passwords); the
/// hexadecimal text needs no quoting beyond ''.
QStringList writeSmartHostsArguments(const Rows& rows);

/// "cat .../.smartHosts" as a privileged command; run it only when the file exists.
QStringList readSmartHostsArguments();

} // namespace brevane
