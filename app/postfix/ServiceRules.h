#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Which launchd job each service is, how it is probed, and the command lines
// that start and stop it.
namespace brevane::services {

/// All three must exist for SSL to be offered.
const QStringList& certificatePaths();

QString postfixProbe();
QString fetchmailProbe();
QString loadJob(const QString& serviceWord);
QString unloadJob(const QString& serviceWord);

struct UWService {
    QString paletteLabel; // "UW_POP3"
    QString name;         // "POP3", as in "Start POP3"
    int port;
};
/// POP3, POP3s, IMAP, IMAPs: the order the lights are refreshed in.
const QList<UWService>& uwServices();

struct UWCommand {
    QString verb;    // "Start", "Stop" or anything else
    QString service; // lower-case word: "pop3", "pop3s", "imap", "imaps"
};
UWCommand parseUWLabel(const QString& label);
bool needsCertificate(const QString& service);
/// The load or unload line for a label's verb; nullopt for another verb.
std::optional<QString> uwCommandLine(const UWCommand& command);

/// Whether something accepts a TCP connection on 127.0.0.1:port.
bool isPortOpen(int port);

} // namespace brevane::services
