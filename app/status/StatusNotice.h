#pragma once

#include "status/AlertRule.h"
#include "status/StatusCheck.h"

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

// The desktop notification a round of checks is worth while the window is
// open: only checks turning red, each at most once an hour.
namespace brevane::status {

struct Notice {
    QStringList ids; ///< the checks it is about
    QString summary; ///< "Brevane: Mail queue failing"
    QString body; ///< one line a check, escaped for servers that read markup
};

struct NoticeRound {
    std::optional<Notice> notice;
    QHash<QString, AlertMemory> memory; ///< to keep for the next round
};

/// A check red now is told once when it turns red (a check red at the first
/// round included) and again only after it has been told green; the alert
/// rule's hour holds for both. Checks gone from the round are forgotten.
NoticeRound noticeFor(const QHash<QString, AlertMemory>& memory, const QList<Outcome>& outcomes, qint64 nowSeconds);

} // namespace brevane::status
