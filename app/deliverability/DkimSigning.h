#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// DKIM signing as the window asks the configuration script for it: which
// domains get a key, under which selector, and what the script answered.
namespace brevane::dkim {

inline constexpr char defaultSelector[] = "brevane";

/// Where Postfix reaches the signer: a UNIX socket in its queue folder, and
/// the TCP port of an install made before the socket.
inline constexpr char signerSocket[] = "unix:brevane-opendkim/opendkim.sock";
inline constexpr char earlierSignerPort[] = "inet:127.0.0.1:8891";

/// Whether a main.cf milter list (comma- or blank-separated) names the signer.
bool namesSigner(const QString& milters);

/// A selector is one DNS label: letters, digits and inner hyphens, at most
/// 63 characters. It becomes part of file names and of OpenDKIM's tables.
bool isValidSelector(const QString& selector);

/// The mail domains that get a key: the mail domain, then the virtual
/// domains, each once, lower-cased; names that are no host names are left out.
QStringList signingDomains(const QString& mydomain, const QString& virtualDomains);

enum class Mode { Sign, Off, Show };

/// "/bin/sh", "-c", script, "", then the script's arguments.
QStringList scriptArguments(Mode mode, const QString& selector, const QStringList& domains, const QString& script);

/// Public keys (base64, one line) by domain, from the script's
/// "DKIM key DOMAIN SELECTOR KEY" lines; those of another selector are left out.
QMap<QString, QString> publicKeys(const QString& scriptOutput, const QString& selector);

/// The script's "Refused: ..." line, or empty when it did what it was asked.
QString refusal(const QString& scriptOutput);

} // namespace brevane::dkim
