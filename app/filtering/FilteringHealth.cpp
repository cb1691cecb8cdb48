#include "filtering/FilteringHealth.h"

#include "filtering/JunkFolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cstring>
#include <QtEndian>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace brevane::filtering {

namespace {

    // One request and its first reply bytes on a loopback TCP port or a
    // UNIX socket; what came back before the time ran out, empty when
    // nothing listens.
    QByteArray exchange(const sockaddr* address, socklen_t length, const QByteArray& request, int wanted, int timeoutMs)
    {
        const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return {};
        QByteArray reply;
        if (::connect(fd, address, length) == 0
            && ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
            pollfd readable { fd, POLLIN, 0 };
            char buffer[256];
            while (reply.size() < wanted && ::poll(&readable, 1, timeoutMs) == 1) {
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                reply.append(buffer, int(got));
            }
        }
        ::close(fd);
        return reply;
    }

    QByteArray exchange(int port, const QByteArray& request, int wanted, int timeoutMs)
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return exchange(reinterpret_cast<sockaddr*>(&address), sizeof address, request, wanted, timeoutMs);
    }

    void appendWord(QByteArray& bytes, quint32 word)
    {
        const quint32 big = qToBigEndian(word);
        bytes.append(reinterpret_cast<const char*>(&big), 4);
    }

    constexpr int negotiationLength = 13; // command byte, version, actions, protocol

} // namespace

QByteArray optionNegotiation()
{
    QByteArray bytes;
    appendWord(bytes, negotiationLength);
    bytes.append('O');
    appendWord(bytes, 6); // milter protocol version
    appendWord(bytes, 0x1ff); // actions Postfix allows
    appendWord(bytes, 0); // no steps left out
    return bytes;
}

bool isOptionNegotiationReply(const QByteArray& bytes)
{
    if (bytes.size() < 5)
        return false;
    const quint32 length = qFromBigEndian<quint32>(bytes.constData());
    return bytes.at(4) == 'O' && length >= negotiationLength && length < 1024 && quint32(bytes.size()) >= 4 + length;
}

bool milterAnswers(int port, int timeoutMs)
{
    return isOptionNegotiationReply(exchange(port, optionNegotiation(), 4 + negotiationLength, timeoutMs));
}

bool milterAnswersAt(const QString& socketPath, int timeoutMs)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath);
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return isOptionNegotiationReply(exchange(reinterpret_cast<sockaddr*>(&address), sizeof address, optionNegotiation(),
        4 + negotiationLength, timeoutMs));
}

bool clamdAnswersPing(int port, int timeoutMs)
{
    return exchange(port, QByteArray("zPING", 6), 5, timeoutMs).startsWith(QByteArray("PONG", 5));
}

QString lmtpGreetingProbe()
{
    // QUIT once greeted, so Dovecot logs no lost connection.
    return QStringLiteral("perl -MIO::Socket::UNIX -e 'alarm 3; my $s = IO::Socket::UNIX->new(Peer => \"%1\") or "
                          "exit 1; my $l = <$s>; print $l if defined $l; print $s \"QUIT\\r\\n\"' 2>/dev/null")
        .arg(QLatin1String(lmtpSocketPath));
}

bool isLmtpGreeting(const QString& probeOutput)
{
    static const QRegularExpression greeting(QStringLiteral("^220([ -]|\\r?$)"));
    return greeting.match(probeOutput.section(u'\n', 0, 0)).hasMatch();
}

LightState filteringLight(bool spamFiltering, bool virusScanning, bool milterUp, bool clamdUp, bool lmtpUp)
{
    if (!spamFiltering)
        return { false, QStringLiteral("Filtering is off: mail is delivered unfiltered.") };
    if (!milterUp)
        return { false,
            QStringLiteral("rspamd does not answer on its milter socket (its first start takes a minute or two): mail "
                           "is delivered unfiltered.") };
    if (virusScanning && !clamdUp)
        return { false, QStringLiteral("clamd does not answer: mail is delivered without a virus scan.") };
    if (!lmtpUp)
        return { false,
            QStringLiteral("Dovecot's delivery (LMTP) does not greet on %1: mail for the mailboxes waits in the "
                           "queue. Restart Postfix to start it again.")
                .arg(QLatin1String(lmtpSocketPath)) };
    return { true,
        virusScanning ? QStringLiteral("rspamd and clamd answer: mail is filtered for spam and viruses.")
                      : QStringLiteral("rspamd answers: mail is filtered for spam.") };
}

QList<DatabaseFile> databaseFiles(const QString& folder)
{
    QList<DatabaseFile> files;
    const QStringList patterns { QStringLiteral("*.cvd"), QStringLiteral("*.cld"), QStringLiteral("*.cud"),
        QStringLiteral("*.ndb"), QStringLiteral("*.hdb"), QStringLiteral("*.hsb"), QStringLiteral("*.ldb"),
        QStringLiteral("*.mdb"), QStringLiteral("*.msb") };
    for (const QFileInfo& info : QDir(folder).entryInfoList(patterns, QDir::Files))
        files.append({ info.fileName(), info.lastModified() });
    return files;
}

QString databaseWarning(const QList<DatabaseFile>& files, const QDateTime& now)
{
    if (files.isEmpty())
        return QStringLiteral("ClamAV's signature database is missing from %1: clamd cannot start. Run Debian's "
                              "freshclam (package clamav-freshclam) once the machine reaches the Internet.")
            .arg(QLatin1String(clamavDatabaseFolder));
    QDateTime newest = files.first().modified;
    for (const DatabaseFile& file : files)
        newest = std::max(newest, file.modified);
    const qint64 days = newest.daysTo(now);
    if (newest.secsTo(now) <= 7 * 24 * 3600)
        return {};
    return QStringLiteral("ClamAV's signatures are %1 days old: new viruses pass. Check that freshclam runs.")
        .arg(days);
}

} // namespace brevane::filtering
