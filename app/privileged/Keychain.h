#pragma once

#include <QByteArray>
#include <QString>

namespace brevane {

/// The administrator's password in the user's keyring (Secret Service
/// through QtKeychain), one item per administrator name under the
/// application's name. Class operations only; each waits for its job.
/// Nothing is reported: a keyring that cannot be reached reads as "".
class Keychain {
public:
    Keychain() = delete;

    /// Creates the item or overwrites the password it holds.
    static void storePassword(const QString& password, const QString& user);

    /// The stored password (at most 1023 bytes of it), or "".
    static QString getPasswordForUser(const QString& user);

    /// Removes the user's item, if there is one.
    static void deletePasswordForUser(const QString& user);

    /// The service the items lie under: the application's name.
    static QString serviceName();

    /// A password from the bytes read back: cut after 1023 bytes, ended at
    /// a zero byte, decoded as UTF-8.
    static QString passwordFromData(const QByteArray& data);

private:
    /// Rewrites the item of `reference` (a service name) for this user.
    static void changePassword(const QString& password, const QString& user, const QString& reference);
};

} // namespace brevane
