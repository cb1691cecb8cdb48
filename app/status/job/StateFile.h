#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The watch job's state file, written by root where anyone may read it.
namespace brevane::status::job {

/// Writes `bytes` to a new file beside `path`, 0644 from its creation, and
/// renames it into place. The folder is made when missing and must be a real
/// folder of root's that nobody else may write to; no link is followed.
/// Answers an error text, empty on success.
QString writeStateFile(const QString& path, const QByteArray& bytes);

/// The file's bytes when it is a plain file no larger than `limit`; never
/// through a link. `rootsOnly`: also only when root owns it and no one else
/// may write to it.
std::optional<QByteArray> readStateFile(const QString& path, qint64 limit = 1 << 20, bool rootsOnly = false);

} // namespace brevane::status::job
