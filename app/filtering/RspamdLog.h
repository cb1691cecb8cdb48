#pragma once

#include "maintenance/LogReading.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What rspamd said of one message, read from its own log: the line it writes
// for each scan, naming Postfix's queue ID ("qid: <4F1B2C3D>"), the action,
// the score and the symbols behind it.
namespace brevane::filtering {

inline constexpr char rspamdLogPath[] = "/usr/local/tarnwick/rspamd/log/rspamd.log";

struct RspamdSymbol {
    QString name;
    double score = 0;
    bool operator==(const RspamdSymbol&) const = default;
};

struct RspamdVerdict {
    QString time;   ///< "2026-12-09 16:53:21" as rspamd wrote it
    bool readable = false; ///< false: the line's shape was not rspamd's alone
    QString action; ///< "no action", "add header", "reject", ...
    double score = 0;
    double rejectScore = 0;
    QList<RspamdSymbol> symbols; ///< in rspamd's order
};

/// The verdict in one rspamd log line about `queueId`; nullopt when the line
/// is no scan's or is about another message. The message ID, the sender and
/// the recipients in the line are the sender's words: a line where they could
/// pass for rspamd's own fields is not readable, rather than read wrong.
std::optional<RspamdVerdict> rspamdVerdict(QByteArrayView line, QByteArrayView queueId);

/// Every verdict about `queueId` in `log`, oldest first.
QList<RspamdVerdict> rspamdVerdicts(QByteArrayView log, QByteArrayView queueId);

/// The runner's vector that prints the log's lines about `queueId`
/// (read-rspamd-lines.sh); nullopt for anything that is not a queue ID.
std::optional<QStringList> rspamdLinesCommand(const QString& queueId);

/// The lines about `queueId`: read directly when `path` is readable, else
/// through `run` when it is our log; empty when there is no log.
QByteArray rspamdLinesAbout(const QString& path, const QString& queueId, const PrivilegedRun& run);

/// One line for the log view: "rspamd 2026-12-09 16:53:21: add header,
/// score 3.90 (reject at 15.00): MIME_BAD_EXTENSION 4.00, ...; also ARC_NA".
QString verdictText(const RspamdVerdict& verdict);

} // namespace brevane::filtering
