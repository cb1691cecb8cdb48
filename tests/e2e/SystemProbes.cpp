#include "SystemProbes.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTest>

namespace e2e {

namespace {

QString environment(const char* name, const char* fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}

QString probeScript()
{
    return environment("E2E_PROBE", "/usr/local/sbin/brevane-e2e-probe");
}

QString firstLine(QAbstractSocket& socket)
{
    if (!socket.canReadLine() && !socket.waitForReadyRead(5000))
        return {};
    while (!socket.canReadLine() && socket.waitForReadyRead(2000)) {
    }
    return QString::fromUtf8(socket.readLine()).trimmed();
}

} // namespace

QString Setting::domain()
{
    return environment("E2E_DOMAIN", "mail.brevane.test");
}

QString Setting::adminPassword()
{
    return environment("E2E_ADMIN_PASSWORD", "");
}

QString Setting::userPassword()
{
    return environment("E2E_USER_PASSWORD", "");
}

QString Setting::remotePassword()
{
    return environment("E2E_REMOTE_PASSWORD", "");
}

QString Setting::workDirectory()
{
    return environment("E2E_WORK", "/tmp");
}

ProgramResult runProgram(const QString& program, const QStringList& arguments, int timeoutMs, const QByteArray& input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return {-1, QStringLiteral("%1 did not start").arg(program)};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {-1, QStringLiteral("%1 timed out").arg(program)};
    }
    const int status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {status, QString::fromUtf8(process.readAll())};
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(100);
    }
    return true;
}

bool portAccepts(int port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    return socket.waitForConnected(2000);
}

bool waitForPort(int port, bool open, int timeoutMs)
{
    return waitUntil([&] { return portAccepts(port) == open; }, timeoutMs);
}

QString greeting(int port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    if (!socket.waitForConnected(2000))
        return {};
    return firstLine(socket);
}

QString tlsGreeting(int port, QString* commonName)
{
    QSslSocket socket;
    // Only the handshake and the name are checked here: the test certificate
    // is self-signed and not (yet) in any trust store.
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    if (!socket.waitForEncrypted(10'000))
        return QStringLiteral("no TLS: ") + socket.errorString();
    if (commonName)
        *commonName = socket.peerCertificate().subjectInfo(QSslCertificate::CommonName).value(0);
    return firstLine(socket);
}

QString launchctlList()
{
    return runProgram(QStringLiteral("launchctl"), {QStringLiteral("list")}).output;
}

int jobCount(const QString& label)
{
    int count = 0;
    for (const QString& line : launchctlList().split(u'\n'))
        if (line.section(u'\t', 2, 2) == label)
            ++count;
    return count;
}

int processCount(const QString& name)
{
    const ProgramResult result = runProgram(QStringLiteral("pgrep"), {QStringLiteral("-x"), name});
    return result.output.split(u'\n', Qt::SkipEmptyParts).size();
}

namespace {

// swaks against the local smtpd on port 25.
ProgramResult swaks(const QStringList& arguments)
{
    return runProgram(QStringLiteral("swaks"), QStringList{QStringLiteral("--server"), QStringLiteral("127.0.0.1"),
                                                           QStringLiteral("--port"), QStringLiteral("25")}
                                                   + arguments);
}

} // namespace

bool sendMail(const QString& from, const QStringList& recipients, const QString& subject)
{
    const ProgramResult result = swaks({QStringLiteral("--from"), from, QStringLiteral("--to"), recipients.join(u','),
                                        QStringLiteral("--header"), QStringLiteral("Subject: ") + subject,
                                        QStringLiteral("--body"), QStringLiteral("Sent during the first hour.")});
    if (result.exitCode != 0)
        qWarning("swaks: %s", qPrintable(result.output));
    return result.exitCode == 0;
}

bool smtpLoginAccepted(const QString& user, const QString& password)
{
    const ProgramResult result = swaks({QStringLiteral("--quit-after"), QStringLiteral("AUTH"), QStringLiteral("--auth"),
                                        QStringLiteral("PLAIN"), QStringLiteral("--auth-user"), user,
                                        QStringLiteral("--auth-password"), password});
    return result.exitCode == 0 && result.output.contains(QStringLiteral("\n<-  235 "));
}

QString rootProbe(const QStringList& arguments)
{
    return runProgram(QStringLiteral("sudo"), QStringList{QStringLiteral("-n"), probeScript()} + arguments).output;
}

QString mailbox(const QString& user)
{
    return rootProbe({QStringLiteral("mailbox"), user});
}

QString certificateSubject()
{
    return rootProbe({QStringLiteral("cert-subject")});
}

QString fetchmailLog()
{
    return rootProbe({QStringLiteral("fetchmail-log")});
}

bool trustTestCertificate()
{
    const ProgramResult result
        = runProgram(QStringLiteral("sudo"), {QStringLiteral("-n"), probeScript(), QStringLiteral("trust-test-cert")});
    if (result.exitCode != 0)
        qWarning("trust-test-cert: %s", qPrintable(result.output));
    return result.exitCode == 0;
}

} // namespace e2e
