#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What start-up decides without the window: whether this system is one we
// run on, which of the system's own mail jobs to unload, whom to offer as
// the catch-all address.
namespace brevane::startup {

inline constexpr char systemVersionPlist[] = "/System/Library/CoreServices/SystemVersion.plist";
inline constexpr char serverRoot[] = "/usr/local/tarnwick/postfix";
/// User-defaults keys of the login sheet: the administrator last logged in
/// and whether the password is kept in the keychain ("1" or "0").
inline constexpr char administratorKey[] = "administratorName";
inline constexpr char rememberPasswordKey[] = "savePasswordInKeychain";

/// "Version 10.5.8 (Build 9L31a)" from a SystemVersion.plist, as the Mac
/// reports its version; "" when the file is missing or unreadable.
QString operatingSystemVersionString(const QString& plistPath = QString::fromLatin1(systemVersionPlist));
/// The same from the file's bytes; "" for anything but a property list
/// with a ProductVersion string.
QString versionStringFromPlist(const QByteArray& bytes);

/// True only for 10.5.x: the second word's first two dotted pieces, joined,
/// read as 105.
bool isSupportedSystemVersion(const QString& versionString);

struct SystemDaemon {
    QString test;
    QString unload;
};
/// The operating system's own Postfix, UW IMAP, UW POP and fetchmail jobs.
const QList<SystemDaemon>& systemDaemons();

QString localUsersCommand();
/// What the start-up checks read: the test of each of systemDaemons, in
/// order, then localUsersCommand.
QStringList startUpReadLines();
/// Non-empty lines of the user listing, in order.
QStringList parseLocalUsers(const QString& listing);

} // namespace brevane::startup
