#include "maintenance/LogReading.h"

#include "shell/ResourcePaths.h"

#include <QFile>
#include <QFileInfo>

namespace brevane {

QString logFilePath(LogFile file)
{
    switch (file) {
    case LogFile::MailLog:
        return QStringLiteral("/var/log/mail.log");
    case LogFile::RotatedMailLog:
        return QStringLiteral("/var/log/mail.log.1");
    }
    return {};
}

QStringList privilegedChunkCommand(LogFile file, qint64 offset, qint64 maxBytes)
{
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), scriptText(QStringLiteral("read-log-chunk.sh")),
            QStringLiteral("sh"),      logFilePath(file),     QString::number(qMax<qint64>(offset, 0)),
            QString::number(qMax<qint64>(maxBytes, 0))};
}

LogChunk parseChunkReply(const QString& reply)
{
    LogChunk chunk;
    const qsizetype lineEnd = reply.indexOf(u'\n');
    if (lineEnd < 0)
        return chunk;
    bool isNumber = false;
    chunk.fileSize = QStringView(reply).left(lineEnd).toLongLong(&isNumber);
    if (!isNumber || chunk.fileSize < 0)
        return {};
    const QByteArray encoded = QStringView(reply).mid(lineEnd + 1).toLatin1();
    auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return {};
    chunk.bytes = std::move(*decoded);
    chunk.ok = true;
    return chunk;
}

LogChunk readChunkDirectly(const QString& path, qint64 offset, qint64 maxBytes)
{
    LogChunk chunk;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return chunk;
    chunk.fileSize = file.size();
    if (offset < chunk.fileSize && file.seek(offset))
        chunk.bytes = file.read(maxBytes);
    chunk.ok = true;
    return chunk;
}

LogChunk readLogChunk(const QString& path, LogFile file, qint64 offset, qint64 maxBytes,
                      const PrivilegedRun& runPrivileged)
{
    if (QFileInfo(path).isReadable() || path != logFilePath(file) || !runPrivileged)
        return readChunkDirectly(path, offset, maxBytes);
    return parseChunkReply(runPrivileged(privilegedChunkCommand(file, offset, maxBytes)));
}

} // namespace brevane
