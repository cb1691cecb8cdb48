#pragma once

#include "postfix/PostfixConfig.h"
#include "shell/Alerts.h"

#include <QString>
#include <QStringList>

#include <optional>

// Keeping Postfix on a configuration it runs on: the check script's
// argument vectors, what its output means, and what the administrator is
// told. The script does the work as root; this side only reads its report.
namespace brevane {

enum class CheckResult {
    Up,        ///< the new files are live
    Refused,   ///< Postfix refused the new files; the previous ones are back
    Down,      ///< Postfix did not come up on them; the previous ones are back
    Unchanged, ///< the configuration script wrote nothing (a refused custom line)
    Unsafe,    ///< no private folder for the copy: nothing written
    Rejecting, ///< Postfix came up on the new files but refused mail; the previous ones are back
    Busy,      ///< another apply or restore held the lock too long: nothing written
    Restored,  ///< the last working configuration is back
    None,      ///< there is no last working configuration yet
    Unknown,   ///< no report at all (the run did not happen)
};

struct PostfixCheckOutcome {
    CheckResult result = CheckResult::Unknown;
    /// Whether Postfix came back on the files put back; empty when none were.
    std::optional<bool> previousUp;
    /// Postfix's own words on why it failed, first lines first.
    QStringList said;
    /// Warnings that did not stop it (unused parameters, for one).
    QStringList notes;
    /// Ports the master could not have, each "PORT PROGRAM" (the program
    /// that already listens there).
    QStringList busyPorts;
    /// Why files Postfix runs on could not be kept as the last working
    /// ones, in the copying tools' words; empty when they were.
    QString unsaved;
};

PostfixCheckOutcome parsePostfixCheck(const QString& output);

/// Runs the configuration script (the vector collectPostfixConfig made) under
/// the check, which then loads the Postfix job itself.
QStringList applyPostfixArguments(const QStringList& configureArguments, const QString& checkScript);
QStringList restorePostfixArguments(const QString& checkScript);
/// Prints when the last working configuration was saved, or nothing.
QStringList lastWorkingSavedArguments(const QString& checkScript);

/// The field of the form that Postfix's words (or a port another program
/// holds) point at ("custom lines field"); empty when none of ours.
QString fieldNamedBy(const PostfixCheckOutcome& outcome, const PostfixForm& form);

/// What to tell the administrator after an apply; nothing when Postfix took
/// the new files without a word, or the script wrote nothing.
std::optional<AlertSpec> applyAlert(const PostfixCheckOutcome& outcome, const PostfixForm& form);

/// What to tell the administrator when the configuration script refused a
/// custom line: Postfix's words on it when it had any (it could not read
/// the line), else why a line that reads well was refused.
AlertSpec refusedCustomLineAlert(const QString& line, const QStringList& said);

/// What to tell the administrator after restoring the last working
/// configuration saved at savedAt.
AlertSpec restoreAlert(const PostfixCheckOutcome& outcome, const QString& savedAt);

} // namespace brevane
