#pragma once

#include <QString>
#include <QStringList>

namespace brevane {

/// The informational alert the update check shows. Buttons are in order,
/// the first the default; on an available update the first ("OK") opens
/// the product download page (pageForTag(80)) and "Cancel" does nothing.
struct UpdateAlert {
    enum class Kind { NoNewerVersion, UpdateAvailable, CheckFailed };
    Kind kind;
    QString title;
    QString message;
    QStringList buttons;
};

/// Compares the version in the query's result (the runner's text, last
/// character already dropped) with the application's own version,
/// character for character. Any other version counts as a newer one:
/// versions have no order here. A result that holds no version (nothing,
/// when the site cannot be reached; a page of text or markup) is a failed
/// check, said as such, naming `site`, rather than offered as an update.
UpdateAlert updateAlertFor(const QString& queryResult, const QString& ownVersion, const QString& site);

/// The version a query result names: the reply without the blanks and line
/// ends around it (a server may end its line with CR LF), when that is one
/// line of 1 to 64 printable characters without markup; "" otherwise.
QString versionInReply(const QString& queryResult);

} // namespace brevane
