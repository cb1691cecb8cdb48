#include "status/StatusChecks.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QStorageInfo>

using namespace std::chrono_literals;

namespace brevane::status {

namespace {

    // Under the engine's own limit, so a hanging listing is ended here and
    // reported with what it said rather than left running.
    constexpr int queueListingMs = 15000;

    Check fixed(const QString& id, const QString& title, Result result)
    {
        return { id, title, 1s, [result] { return result; } };
    }

} // namespace

Result checkQueue(const QStringList& command, const QueueLimits& limits, int timeLimitMs)
{
    if (command.isEmpty())
        return queueUnlistedRule({});
    QProcess listing;
    listing.start(command.first(), command.mid(1));
    if (!listing.waitForStarted(timeLimitMs))
        return queueUnlistedRule(listing.errorString());
    if (!listing.waitForFinished(timeLimitMs)) {
        listing.kill();
        listing.waitForFinished(1000);
        return queueUnlistedRule(QStringLiteral("no answer within %1 s.").arg(timeLimitMs / 1000));
    }
    if (listing.exitStatus() != QProcess::NormalExit || listing.exitCode() != 0)
        return queueUnlistedRule(QString::fromUtf8(listing.readAllStandardError()).section(u'\n', 0, 0));
    return queueRule(readQueueListing(listing.readAllStandardOutput()), QDateTime::currentSecsSinceEpoch(), limits);
}

SpaceFacts spaceOf(const QString& role, const QString& path)
{
    const QStorageInfo storage(path);
    return { role, path, storage.isValid() && storage.isReady(), storage.bytesAvailable(), storage.bytesTotal() };
}

QStringList mountsBelow(const QString& path)
{
    const QString prefix = QDir::cleanPath(path) + u'/';
    QStringList below;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.rootPath().startsWith(prefix))
            below.append(volume.rootPath());
    return below;
}

QList<Check> statusChecks(const StatusInputs& inputs)
{
    QList<Check> checks;
    const QString services = QStringLiteral("Services");
    const QString certificates = QStringLiteral("Certificates");
    checks.append(inputs.services ? fixed(QStringLiteral("services"), services, servicesRule(*inputs.services))
                                  : fixed(QStringLiteral("services"), services, needsLoginRule()));
    checks.append(inputs.certificates ? fixed(QStringLiteral("certificates"), certificates,
                      certificateRule(*inputs.certificates, QDateTime::currentDateTimeUtc()))
                                      : fixed(QStringLiteral("certificates"), certificates, needsLoginRule()));
    checks.append({ QStringLiteral("queue"), QStringLiteral("Mail queue"), 20s,
        [command = inputs.queueCommand, limits = inputs.queueLimits] {
            return checkQueue(command, limits, queueListingMs);
        } });
    // A file system that hangs (a lost network mount) hangs statvfs too.
    checks.append({ QStringLiteral("space"), QStringLiteral("Free space"), 10s,
        [queue = inputs.queueDirectory, mailboxes = inputs.mailboxDirectory] {
            QList<SpaceFacts> spaces { spaceOf(QStringLiteral("queue"), queue) };
            // A queue folder on a file system of its own fills by itself.
            for (const QString& below : mountsBelow(queue))
                spaces.append(spaceOf(QStringLiteral("queue"), below));
            spaces.append(spaceOf(QStringLiteral("mailboxes"), mailboxes));
            return freeSpaceRule(spaces);
        } });
    checks += dnsChecks(inputs.dns);
    checks += outsideChecks(inputs.outside);
    return checks;
}

} // namespace brevane::status
