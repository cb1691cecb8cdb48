#pragma once

#include "status/StatusCheck.h"

#include <QtGlobal>

// When a check's state is worth telling someone about: the window's
// notifications and a job's mail to postmaster keep one memory a check and
// ask the same question on every run.
namespace brevane::status {

/// Never more than one alert an hour for one check.
inline constexpr qint64 alertIntervalSeconds = 3600;

struct AlertMemory {
    /// The state last told about; a check never told about counts as green,
    /// so its first red or yellow is told and its first green is not.
    State told = State::Green;
    qint64 toldAt = 0; ///< seconds since the epoch; 0 when never told
};

struct AlertDecision {
    bool alert = false;
    AlertMemory memory; ///< to keep for the next run
};

/// Alerts when the state differs from the one last told about and the last
/// alert is an hour old or older. A change held back by the hour is told
/// later if it lasts; one that reverts within the hour is never told.
AlertDecision decideAlert(const AlertMemory& memory, State state, qint64 nowSeconds);

} // namespace brevane::status
