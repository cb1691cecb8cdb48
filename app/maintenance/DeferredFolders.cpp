#include "maintenance/DeferredFolders.h"

#include "maintenance/QueueListing.h"

#include <QList>

namespace brevane {

namespace {

constexpr qint64 clockTickMargin = 2;

bool isFolderName(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > 16)
        return false;
    for (char c : name)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

QList<QByteArrayView> fieldsOf(QByteArrayView line)
{
    QList<QByteArrayView> fields;
    for (qsizetype start = 0;;) {
        const qsizetype blank = line.indexOf(' ', start);
        fields.append(line.sliced(start, (blank < 0 ? line.size() : blank) - start));
        if (blank < 0)
            return fields;
        start = blank + 1;
    }
}

/// "123" or "123.456": the whole seconds.
bool readSeconds(QByteArrayView text, qint64* seconds)
{
    if (const qsizetype dot = text.indexOf('.'); dot >= 0)
        text = text.first(dot);
    bool ok = false;
    *seconds = text.toLongLong(&ok);
    return ok;
}

} // namespace

QStringList deferredFolderStamps(const DeferredFolders& folders)
{
    QStringList stamps;
    for (auto it = folders.cbegin(); it != folders.cend(); ++it)
        if (!it->stamp.isEmpty())
            stamps.append(QString::fromLatin1(it.key() + ' ' + it->stamp));
    return stamps;
}

DeferredFoldersReader::DeferredFoldersReader(DeferredFolders known, qint64 listedAt)
    : m_known(std::move(known))
    , m_listedAt(listedAt)
{
}

bool DeferredFoldersReader::readFolderLine(QByteArrayView line, bool kept)
{
    const QList<QByteArrayView> fields = fieldsOf(line);
    qint64 changedAt = 0;
    if (fields.size() != 4 || !isFolderName(fields.at(1)) || !readSeconds(fields.at(3), &changedAt))
        return false;
    const QByteArray name = fields.at(1).toByteArray();
    const QByteArray stamp = fields.at(2).toByteArray() + ' ' + fields.at(3).toByteArray();
    DeferredFolder folder;
    // A kept folder's files were not read: its times are the known ones, or none.
    if (kept) {
        if (m_known.value(name).stamp == stamp)
            folder = m_known.value(name);
    } else if (changedAt < m_listedAt - clockTickMargin) {
        folder.stamp = stamp;
    }
    m_folders.insert(name, folder);
    return true;
}

bool DeferredFoldersReader::readLine(QByteArrayView line)
{
    if (line.startsWith("kept "))
        return readFolderLine(line, true);
    if (line.startsWith("folder "))
        return readFolderLine(line, false);
    const QList<QByteArrayView> fields = fieldsOf(line);
    qint64 seconds = 0;
    if (fields.size() < 2 || fields.size() > 3 || !readSeconds(fields.at(1), &seconds))
        return false;
    const QString id = QString::fromLatin1(fields.at(0));
    if (!isQueueID(id))
        return false;
    QByteArray name;
    if (fields.size() == 3) {
        const QByteArrayView path = fields.at(2);
        name = path.sliced(path.lastIndexOf('/') + 1).toByteArray();
    }
    // A folder not announced gets no stamp: its times are used once, never kept.
    m_folders[name].retry.insert(id, seconds);
    return true;
}

QHash<QString, qint64> DeferredFoldersReader::retryTimes()
{
    qsizetype count = 0;
    for (const DeferredFolder& folder : std::as_const(m_folders))
        count += folder.retry.size();
    QHash<QString, qint64> times;
    times.reserve(count);
    for (const DeferredFolder& folder : std::as_const(m_folders))
        for (auto it = folder.retry.cbegin(); it != folder.retry.cend(); ++it)
            times.insert(it.key(), it.value());
    return times;
}

} // namespace brevane
