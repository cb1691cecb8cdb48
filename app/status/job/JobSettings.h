#pragma once

#include "status/StatusChecks.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// What the window hands the watch job so that it runs the Status tab's
// checks as the tab does: mail domains, the public address, the vantage,
// the block lists and the queue limit. The file comes from a user's window
// and is read by root, so every value is checked again when it is read.
namespace brevane::status::job {

/// Where the install script puts the file, root's and readable by all.
inline constexpr char settingsPath[] = "/usr/local/tarnwick/status/settings.json";

struct JobSettings {
    QStringList domains; ///< the mail domain and the virtual domains
    QString selector; ///< DKIM selector
    QMap<QString, QString> publicKeys; ///< our DKIM public keys (base64) by domain
    QString sendingAddress; ///< the address this server sends from; empty: not known
    QString target; ///< the public name or address the vantage connects to
    QStringList publicAddresses; ///< asked of the block lists; empty: the target's
    QList<PortToProbe> ports;
    QStringList blockZones;
    QString relayRecipient; ///< empty: the built-in outside address
    QString vantage;
    qsizetype queueLimit = QueueLimits {}.messages;
};

/// The settings the job needs, from the inputs the tab has just completed.
JobSettings jobSettingsOf(const StatusInputs& inputs);
/// The job's inputs with the settings filled in.
StatusInputs withJobSettings(StatusInputs inputs, const JobSettings& settings);

QByteArray writeJobSettings(const JobSettings& settings);

struct SettingsRead {
    std::optional<JobSettings> settings;
    QString error; ///< why the whole file was refused
};
/// Any value that is not what its field holds refuses the whole file: a
/// name that is no host name, an address that is none, a number out of
/// bounds, a vantage the outside rules refuse, a key not known.
SettingsRead readJobSettings(const QByteArray& bytes);

} // namespace brevane::status::job
