#include "postfix/ServiceRules.h"

#include <QtGlobal>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace brevane::services {

const QStringList& certificatePaths()
{
    static const QStringList paths{QStringLiteral("/System/Library/OpenSSL/certs/imapd.pem"),
                                   QStringLiteral("/System/Library/OpenSSL/certs/ipop3d.pem"),
                                   QStringLiteral("/System/Library/OpenSSL/certs/smtpd.pem")};
    return paths;
}

QString postfixProbe()
{
    return QStringLiteral(
        "(test `launchctl list | grep com.dadarozudedarid.postfix | awk '{print $3}'`) && echo YES");
}

QString fetchmailProbe()
{
    return QStringLiteral(
        "(test `launchctl list | grep com.dadarozudedarid.fetchmail | awk '{print $3}'`) && echo YES");
}

QString loadJob(const QString& serviceWord)
{
    return QStringLiteral("launchctl load -w /Library/LaunchDaemons/com.dadarozudedarid.%1.plist").arg(serviceWord);
}

QString unloadJob(const QString& serviceWord)
{
    return QStringLiteral("launchctl unload -w /Library/LaunchDaemons/com.dadarozudedarid.%1.plist").arg(serviceWord);
}

const QList<UWService>& uwServices()
{
    static const QList<UWService> list{
        {QStringLiteral("UW_POP3"), QStringLiteral("POP3"), 110},
        {QStringLiteral("UW_POP3s"), QStringLiteral("POP3s"), 995},
        {QStringLiteral("UW_IMAP"), QStringLiteral("IMAP"), 143},
        {QStringLiteral("UW_IMAPs"), QStringLiteral("IMAPs"), 993},
    };
    return list;
}

UWCommand parseUWLabel(const QString& label)
{
    const QStringList words = label.split(QLatin1Char(' '));
    return {words.value(0), words.value(1).toLower()};
}

bool needsCertificate(const QString& service)
{
    return service == QLatin1String("pop3s") || service == QLatin1String("imaps");
}

std::optional<QString> uwCommandLine(const UWCommand& command)
{
    const QString job = QStringLiteral("uw_") + command.service;
    if (command.verb == QLatin1String("Start"))
        return loadJob(job);
    if (command.verb == QLatin1String("Stop"))
        return unloadJob(job);
    return std::nullopt;
}

bool isPortOpen(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        qWarning("- (BOOL)checkIfOpenPort:(int)portNo - error creating socket");
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port & 0xFFFF));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    const bool open = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return open;
}

} // namespace brevane::services
