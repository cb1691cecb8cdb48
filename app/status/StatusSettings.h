#pragma once

#include <QVariant>
#include <QtGlobal>

// What the administrator set on the Status tab, as kept in the user's
// settings file: anyone's to edit, so read with care.
namespace brevane::status {

inline constexpr char queueLimitKey[] = "status/queueMessageLimit";
inline constexpr int queueLimitMinimum = 10;
inline constexpr int queueLimitMaximum = 1000000;

/// The queue's message limit as stored; the default when it is missing or
/// no whole number within the bounds.
qsizetype queueLimitFrom(const QVariant& stored);

} // namespace brevane::status
