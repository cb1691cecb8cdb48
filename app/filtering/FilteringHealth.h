#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// Whether the filters answer, and whether ClamAV has signatures to scan with.
namespace brevane::filtering {

/// A milter's option negotiation (SMFIC_OPTNEG, protocol version 6): what
/// Postfix sends first on a milter connection.
QByteArray optionNegotiation();
/// Whether bytes begin with a whole option-negotiation reply ('O').
bool isOptionNegotiationReply(const QByteArray& bytes);

/// Whether something on 127.0.0.1:port answers as a milter / as clamd's
/// PING; each waits at most timeoutMs.
bool milterAnswers(int port, int timeoutMs = 1500);
/// The same on a UNIX socket.
bool milterAnswersAt(const QString& socketPath, int timeoutMs = 1500);
bool clamdAnswersPing(int port, int timeoutMs = 1500);

/// The command line, run as root (only Postfix may open the socket), that
/// prints the first line the LMTP socket greets with, or nothing within 3 s.
/// perl is Debian's essential perl-base: a shell alone cannot open a UNIX socket.
QString lmtpGreetingProbe();
/// Whether that line is an LMTP greeting: 220 (RFC 2033 §4, as in SMTP).
bool isLmtpGreeting(const QString& probeOutput);

struct LightState {
    bool green = false;
    QString text; ///< what the tab and the light's tool tip say
};

/// Green only when filtering is on, rspamd answers on its milter socket,
/// Dovecot's LMTP greets (mailbox delivery waits in the queue without it)
/// and, with virus scanning on, clamd answers PING.
LightState filteringLight(bool spamFiltering, bool virusScanning, bool milterUp, bool clamdUp, bool lmtpUp);

struct DatabaseFile {
    QString name;
    QDateTime modified;
};

/// The signature files in ClamAV's database folder.
QList<DatabaseFile> databaseFiles(const QString& folder);

/// What the window says of ClamAV's signatures: empty when the newest file
/// is at most 7 days old; otherwise that they are missing or how old.
QString databaseWarning(const QList<DatabaseFile>& files, const QDateTime& now);

inline constexpr char clamavDatabaseFolder[] = "/var/lib/clamav";

} // namespace brevane::filtering
