#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

// The deferred messages' next retry times as the last listing left them,
// by deferred folder. Postfix renames a message into its folder each time it
// sets the next retry, so a folder whose stamp (inode and modification time)
// has not changed holds the times read before, and the listing reads only
// the folders that changed.
namespace brevane {

struct DeferredFolder {
    QByteArray stamp; ///< "INODE TIME"; empty when it may not be trusted
    QHash<QString, qint64> retry; ///< bare queue ID → seconds since the epoch
};
using DeferredFolders = QHash<QByteArray, DeferredFolder>;

/// The trusted stamps, "NAME INODE TIME" each, for the listing command.
QStringList deferredFolderStamps(const DeferredFolders& folders);

/// Takes the listing's "kept NAME INODE TIME", "folder NAME INODE TIME" and
/// "ID SECONDS[.FRACTION] [PATH/]NAME" lines (an ID line without a folder
/// goes to a folder that is never kept).
class DeferredFoldersReader
{
public:
    /// `listedAt`: when the listing was asked for, in seconds since the
    /// epoch. A folder changed within two seconds of it may change again
    /// within the same tick of the file system's clock: its stamp is not kept.
    DeferredFoldersReader(DeferredFolders known, qint64 listedAt);
    /// False for a line that is none of these.
    bool readLine(QByteArrayView line);
    /// Every ID's retry time, the folders not named dropped.
    QHash<QString, qint64> retryTimes();
    DeferredFolders takeFolders() { return std::move(m_folders); }

private:
    bool readFolderLine(QByteArrayView line, bool kept);

    DeferredFolders m_known;
    DeferredFolders m_folders;
    qint64 m_listedAt;
};

} // namespace brevane
