#pragma once

#include <QString>

#include <optional>

// The log view's three shell command lines, kept byte for byte in
// app/scripts/log-*.txt. They run unprivileged through doShellCommand.
namespace brevane {

/// The mail log, newest entry first, under the Postfix and IMAP versions.
QString mailLogCommand();
/// The active Postfix parameters of our configuration directory.
QString postfixParametersCommand();
/// The fetchmail log, newest entry first, under fetchmail's version.
QString fetchmailLogCommand();

/// The command line for the log button's tag and title: tag 0 titled
/// "Postfix Log" the mail log, tag 0 with any other title (the Alt-key
/// "Postfix Config") the parameters, tag 1 the fetchmail log; nullopt for
/// any other tag, which leaves the view as it is.
std::optional<QString> logCommandFor(int tag, const QString& senderTitle);

} // namespace brevane
