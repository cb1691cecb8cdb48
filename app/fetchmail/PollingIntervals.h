#pragma once

#include <QString>

namespace brevane {

/// A seconds field as the run-control file takes it: trimmed of spaces and
/// tabs, its leading decimal integer (optional sign; none gives 0, beyond
/// the int range it saturates) formatted again.
QString decimalFieldText(const QString& field);

/// The daemon interval: decimalFieldText, with "0" replaced by "60".
QString pollingIntervalText(const QString& field);

/// The connection timeout: decimalFieldText, no replacement.
QString timeoutText(const QString& field);

} // namespace brevane
