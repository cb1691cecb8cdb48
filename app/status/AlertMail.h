#pragma once

#include "status/StatusState.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The watch job's mail to the administrator about one check.
namespace brevane::status {

/// Where the alerts go: Postfix's own alias for the administrator.
inline constexpr char alertRecipient[] = "postmaster";

/// The whole message for sendmail: headers, blank line, body. The check's
/// texts reach the headers only as one line of bounded length (a line break
/// in a found text must not add a header) and RFC 2047 encoded when not ASCII.
QByteArray alertMail(const Alert& alert, const QString& hostName, const QDateTime& when);

/// sendmail's arguments: no shell, the message on standard input, a lone dot
/// in a text no end of it.
QStringList sendmailArguments();

/// One header-safe line: control characters become spaces, at most `limit`
/// characters.
QString headerLine(const QString& text, qsizetype limit = 200);

} // namespace brevane::status
