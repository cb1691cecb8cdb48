#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>

// Failures show texts, not UTF-16 code units.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// What the scenario asks the real machine, independently of the window:
// programs run as the administrator, ports probed with sockets of our own,
// and the few root-only looks (a mailbox, the trust store) through the
// sandbox's probe script behind sudo.
namespace e2e {

/// The scenario's settings, handed over by first-hour.sh.
struct Setting {
    static QString domain();
    static QString adminPassword();
    static QString userPassword();   // alice's
    static QString remotePassword(); // remote1's
    static QString workDirectory();
};

struct ProgramResult {
    int exitCode = -1;
    QString output; // standard output and error, merged
};

/// Runs a program (PATH lookup) with a bounded wait, feeding `input`.
ProgramResult runProgram(const QString& program, const QStringList& arguments, int timeoutMs = 30'000,
                         const QByteArray& input = {});

/// Lets the event loop run until `done` holds or `timeoutMs` pass.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);

/// Whether 127.0.0.1:port accepts a TCP connection.
bool portAccepts(int port);
bool waitForPort(int port, bool open, int timeoutMs);

/// The first line a server on 127.0.0.1:port sends, without CR LF.
QString greeting(int port);
/// The greeting read after a TLS handshake on 127.0.0.1:port, trusting the
/// certificate the server shows; `subject` receives its common name.
QString tlsGreeting(int port, QString* commonName);

/// `launchctl list`, and how many of its rows carry exactly this label.
QString launchctlList();
int jobCount(const QString& label);
/// How many processes run exactly this program name (pgrep -x).
int processCount(const QString& name);

/// Sends one message through 127.0.0.1:25 with swaks; true when accepted.
bool sendMail(const QString& from, const QStringList& recipients, const QString& subject);
/// Whether smtpd on 127.0.0.1:25 accepts this login with AUTH PLAIN.
bool smtpLoginAccepted(const QString& user, const QString& password);

/// Root-only looks through the sandbox's probe script.
QString mailbox(const QString& user);
/// `openssl x509 -noout -subject` of the test certificate (it holds the key: root only).
QString certificateSubject();
/// fetchmail's log and its launchd job's output, for failure messages.
QString fetchmailLog();
bool trustTestCertificate();

} // namespace e2e
