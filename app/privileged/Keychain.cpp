#include "privileged/Keychain.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>

#include <qt6keychain/keychain.h>

namespace brevane {

namespace {

constexpr int passwordByteLimit = 1023;

/// Runs a job to its end: the callers expect an answer, not a signal.
/// Returns whether it succeeded.
bool runJob(QKeychain::Job& job)
{
    job.setAutoDelete(false);
    bool done = false;
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    job.start();
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return job.error() == QKeychain::NoError;
}

} // namespace

QString Keychain::serviceName()
{
    const QString name = QCoreApplication::applicationName();
    if (!name.isEmpty())
        return name;
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

QString Keychain::passwordFromData(const QByteArray& data)
{
    QByteArray bytes = data.left(passwordByteLimit);
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return QString::fromUtf8(bytes);
}

void Keychain::storePassword(const QString& password, const QString& user)
{
    changePassword(password, user, serviceName());
}

void Keychain::changePassword(const QString& password, const QString& user, const QString& reference)
{
    // A write replaces an existing item of this service and account.
    QKeychain::WritePasswordJob job(reference);
    job.setKey(user);
    // Text, so the secret service keeps the UTF-8 bytes themselves (binary
    // data would be stored base64-encoded, unreadable in a keyring manager).
    job.setTextData(password);
    runJob(job);
}

QString Keychain::getPasswordForUser(const QString& user)
{
    QKeychain::ReadPasswordJob job(serviceName());
    job.setKey(user);
    if (!runJob(job))
        return {};
    return passwordFromData(job.binaryData());
}

void Keychain::deletePasswordForUser(const QString& user)
{
    QKeychain::DeletePasswordJob job(serviceName());
    job.setKey(user);
    runJob(job);
}

} // namespace brevane
