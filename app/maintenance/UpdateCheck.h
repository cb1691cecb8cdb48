#pragma once

#include <QString>
#include <QStringList>

namespace brevane {

/// The informational alert the update check shows. Buttons are in order,
/// the first the default; on an available update the first ("OK") opens
/// the product download page (pageForTag(80)) and "Cancel" does nothing.
struct UpdateAlert {
    enum class Kind { NoNewerVersion, UpdateAvailable };
    Kind kind;
    QString title;
    QString message;
    QStringList buttons;
};

/// Compares the version query's result (the runner's text, last character
/// already dropped) with the application's own version, character for
/// character. Any difference counts as a newer version, an empty result
/// (a failed query) included: versions have no order here.
UpdateAlert updateAlertFor(const QString& queryResult, const QString& ownVersion);

} // namespace brevane
