#include "deliverability/ServedCertificates.h"

#include "deliverability/DaneMatch.h"
#include "deliverability/DnsLookup.h"

#include <QElapsedTimer>
#include <QProcess>

namespace brevane::dns {

QList<QByteArray> servedCertificates(const QString& address, int timeoutMilliseconds,
                                     const std::shared_ptr<const std::atomic_bool>& abandoned)
{
    // Only an address reaches openssl's command line, never a word of a reply.
    const QString host = address.trimmed();
    if (reverseName(host).isEmpty())
        return {};
    const QString target = host.contains(u':') ? QStringLiteral("[%1]:25").arg(host) : host + QStringLiteral(":25");
    QProcess client;
    client.start(QStringLiteral("/usr/bin/openssl"),
                 {QStringLiteral("s_client"), QStringLiteral("-starttls"), QStringLiteral("smtp"),
                  QStringLiteral("-connect"), target, QStringLiteral("-showcerts")});
    client.closeWriteChannel();
    QElapsedTimer waited;
    waited.start();
    while (!client.waitForFinished(20)) {
        if (client.state() == QProcess::NotRunning)
            break;
        if ((abandoned && abandoned->load()) || waited.elapsed() >= timeoutMilliseconds) {
            client.kill();
            client.waitForFinished(1000);
            return {};
        }
    }
    return pemCertificates(client.readAllStandardOutput());
}

} // namespace brevane::dns
