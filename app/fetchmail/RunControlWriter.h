#pragma once

#include "shell/Archive.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace brevane {

/// The poll line of one complete row, newline included. Empty parts keep
/// the spaces around them, so the line has the same shape for every row.
/// A row without SSL ends in "sslproto ''": no STARTTLS either.
QString fetchmailPollLine(const Row& row, const QString& timeout);

/// The whole run-control text: the "set daemon" and "set logfile" lines,
/// then one poll line per complete row in table order (incomplete rows are
/// left out silently). `pollingInterval` and `timeout` are the texts of
/// pollingIntervalText and timeoutText. When a row that would be written is
/// refused (see fetchmailRowsProblem), answers nullopt and sets `error`.
std::optional<QString> fetchmailRunControl(const Rows& rows, const QString& pollingInterval,
                                           const QString& timeout, QString* error = nullptr);

/// "/bin/sh", "-c", the install script, "", "BrevaneStuff", the text: writes
/// the file (0600) and starts fetchmail or wakes the running daemon.
QStringList installFetchmailArguments(const QString& runControlText);

/// The "Stop Fetchmail" command: unloads the launchd job.
QStringList stopFetchmailArguments();

} // namespace brevane
