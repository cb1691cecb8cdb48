#pragma once

#include "filtering/FilteringSettings.h"

#include <QList>
#include <QString>
#include <QStringList>

// The rspamd configuration the Filtering tab installs: overrides in a
// local.d folder of our own beside Debian's /etc/rspamd, which stays as the
// package left it, and the configuration script's arguments.
namespace brevane::filtering {

inline constexpr char rspamdFolder[] = "/usr/local/tarnwick/rspamd";
/// rspamd's milter (its proxy worker) and clamd, on loopback ports of their
/// own so that Debian's own rspamd, should it run, is not in the way.
inline constexpr int milterPort = 11432;
inline constexpr int clamdPort = 3310;
/// Where Postfix reaches the milter: a UNIX socket, as over loopback TCP
/// delayed acknowledgements held each message some 40 ms and more.
inline constexpr char milterSocketPath[] = "/usr/local/tarnwick/rspamd/run/milter.sock";
inline constexpr char milterSocket[] = "unix:/usr/local/tarnwick/rspamd/run/milter.sock";

struct ConfigFile {
    QString name; ///< in local.d
    QString text;

    bool operator==(const ConfigFile&) const = default;
};

/// The score above which mail is greylisted: rspamd's own 4 below the
/// default header score, two thirds of a lower one, so that greylisting
/// always comes before the header.
double greylistScore(double headerScore);

/// The local.d files for settings settingsProblem accepted, in a fixed order.
QList<ConfigFile> rspamdFiles(const FilteringSettings& settings);

enum class Mode { On, Off, Show };

/// "/bin/sh", "-c", script, "", then "on"|"off"|"show", "yes"|"no" for
/// virus scanning, and for "on" each file's name and text, rspamd's and
/// then Dovecot's (junkFiles).
QStringList scriptArguments(Mode mode, const FilteringSettings& settings, const QString& script);

/// The installed settings from the "show" run's output: filtering on when
/// its job is installed, the scores and switches from the files it prints.
/// Settings the files do not say keep their defaults.
FilteringSettings installedSettings(const QString& showOutput);

} // namespace brevane::filtering
