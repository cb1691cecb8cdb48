#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Reading a log file's bytes from an offset on: directly when the user may
// read the file, otherwise as root through the privileged runner. Postfix's
// own log writer creates /var/log/mail.log for root alone.
namespace brevane {

/// The log files the window reads. Only these paths ever reach a root
/// command, and nothing typed in the window does.
enum class LogFile { MailLog, RotatedMailLog };

QString logFilePath(LogFile file);

struct LogChunk {
    bool ok = false;
    /// The file's size when it was read; less than the offset asked for
    /// means the file was rotated and begins anew.
    qint64 fileSize = -1;
    QByteArray bytes;
};

/// The runner's vector that reads up to `maxBytes` from `offset` on, with the
/// file's size: "/bin/sh" "-c" the script, then the fixed path and the two
/// numbers as positional arguments. The bytes travel base64-encoded, so the
/// runner's text decoding and its dropped last character lose nothing.
QStringList privilegedChunkCommand(LogFile file, qint64 offset, qint64 maxBytes);

/// The runner's answer to privilegedChunkCommand; not ok when it is empty
/// or damaged (refused, not logged in, a run already in progress).
LogChunk parseChunkReply(const QString& reply);

/// Up to `maxBytes` from `offset` on, read as the user; not ok when the file
/// cannot be opened.
LogChunk readChunkDirectly(const QString& path, qint64 offset, qint64 maxBytes);

/// Reads through whichever way works: directly when `path` is readable,
/// else through `runPrivileged` (the window's runner) when `file` is one of
/// the fixed log files.
using PrivilegedRun = std::function<QString(const QStringList&)>;
LogChunk readLogChunk(const QString& path, LogFile file, qint64 offset, qint64 maxBytes,
                      const PrivilegedRun& runPrivileged);

} // namespace brevane
