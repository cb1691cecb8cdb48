#include "status/StatusRules.h"

#include <QLocale>
#include <algorithm>

namespace brevane::status {

namespace {

    constexpr qint64 day = 24 * 3600;

    QString dateOf(const QDateTime& when)
    {
        return when.toUTC().toString(QStringLiteral("yyyy-MM-dd"));
    }

    Result certificateOf(const certificates::CertificateFacts& facts, const QDateTime& now)
    {
        const QString expected = QStringLiteral("Valid now and for more than 14 days.");
        const QString renew = QStringLiteral("Renew the certificate (Mail Server tab: obtain one from a CA, or "
                                             "create a test certificate).");
        if (!facts.readable)
            return { State::Red, QStringLiteral("A certificate file holds no readable certificate."), expected, renew };
        if (!facts.notAfter.isValid())
            return { State::Red, QStringLiteral("The certificate's end date cannot be read."), expected, renew };
        if (facts.notBefore.isValid() && facts.notBefore > now)
            return { State::Red, QStringLiteral("Not valid before %1.").arg(dateOf(facts.notBefore)), expected,
                QStringLiteral("Check this machine's clock, or install a certificate that is valid today.") };
        const qint64 left = now.secsTo(facts.notAfter);
        if (left <= 0)
            return { State::Red, QStringLiteral("Expired on %1.").arg(dateOf(facts.notAfter)), expected, renew };
        const QString found = QStringLiteral("Expires on %1, in %2 days.").arg(dateOf(facts.notAfter)).arg(left / day);
        if (left <= 3 * day)
            return { State::Red, found, expected, renew };
        if (left <= 14 * day)
            return { State::Yellow, found, expected, renew };
        return { State::Green, found, expected, {} };
    }

    int rank(State state)
    {
        return state == State::Red ? 2 : state == State::Yellow ? 1 : 0;
    }

    QString sizeText(qint64 bytes)
    {
        return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
    }

} // namespace

Result certificateRule(const QList<certificates::CertificateFacts>& certificates, const QDateTime& now)
{
    if (certificates.isEmpty())
        return { State::Yellow, QStringLiteral("No certificate is installed."),
            QStringLiteral("A certificate, so that mail and passwords travel encrypted."),
            QStringLiteral("Obtain a certificate from a CA or create a test certificate (Mail Server tab).") };
    Result decisive = certificateOf(certificates.first(), now);
    qint64 firstEnd = certificates.first().notAfter.isValid() ? certificates.first().notAfter.toSecsSinceEpoch() : 0;
    for (const certificates::CertificateFacts& facts : certificates.mid(1)) {
        const Result result = certificateOf(facts, now);
        const qint64 end = facts.notAfter.isValid() ? facts.notAfter.toSecsSinceEpoch() : 0;
        if (rank(result.state) > rank(decisive.state) || (result.state == decisive.state && end < firstEnd)) {
            decisive = result;
            firstEnd = end;
        }
    }
    return decisive;
}

Result queueRule(const QueueListing& listing, qint64 nowSeconds, const QueueLimits& limits)
{
    qint64 oldest = -1;
    for (const QueuedMessage& message : listing.messages)
        if (message.queue == QueueName::Deferred && message.arrival > 0)
            oldest = std::max(oldest, nowSeconds - message.arrival);
    const qsizetype count = listing.messages.size();
    QString found = count == 1 ? QStringLiteral("1 message") : QStringLiteral("%1 messages").arg(count);
    if (oldest >= 0)
        found += QStringLiteral("; the oldest deferred has waited %1 h %2 min")
                     .arg(oldest / 3600)
                     .arg(oldest % 3600 / 60);
    found += u'.';
    const QString expected = QStringLiteral("Fewer than %1 messages; no deferred message older than %2 h.")
                                 .arg(limits.messages)
                                 .arg(double(limits.oldestDeferredSeconds) / 3600.0);
    if (oldest >= limits.oldestDeferredSeconds)
        return { State::Red, found, expected,
            QStringLiteral("Read the deferred messages' reasons on the Mail Queue tab and mend the cause "
                           "(DNS, the relay host, a refusing receiver).") };
    if (count >= limits.messages)
        return { State::Red, found, expected,
            QStringLiteral("Look on the Mail Queue tab for who sends so much: a mail loop or an account sending "
                           "spam.") };
    return { State::Green, found, expected, {} };
}

Result queueUnlistedRule(const QString& why)
{
    return { State::Red,
        why.trimmed().isEmpty() ? QStringLiteral("The queue could not be listed.")
                                : QStringLiteral("The queue could not be listed: %1").arg(why.trimmed()),
        QStringLiteral("A queue listing."), QStringLiteral("Start Postfix, then check again.") };
}

Result freeSpaceRule(const QList<SpaceFacts>& spaces)
{
    Result result { State::Green, {}, QStringLiteral("More than 10 % free on each."), {} };
    QStringList found;
    for (const SpaceFacts& space : spaces) {
        if (!space.readable || space.total <= 0) {
            found.append(QStringLiteral("%1 (%2): cannot be read").arg(space.role, space.path));
            result.state = State::Red;
            continue;
        }
        const double percent = 100.0 * double(space.available) / double(space.total);
        found.append(QStringLiteral("%1 (%2): %3 % free, %4 of %5")
                         .arg(space.role, space.path, QString::number(percent, 'f', 1), sizeText(space.available),
                             sizeText(space.total)));
        const State state = percent <= 2.0 ? State::Red : percent <= 10.0 ? State::Yellow : State::Green;
        if (rank(state) > rank(result.state))
            result.state = state;
    }
    result.found = found.join(QLatin1String("; ")) + u'.';
    if (result.state != State::Green)
        result.whatToDo = QStringLiteral("Free space on the file system named: old logs, large mailboxes, a queue "
                                         "full of undeliverable mail.");
    return result;
}

Result servicesRule(const QList<ServiceFacts>& services)
{
    QStringList found;
    QStringList actions;
    for (const ServiceFacts& service : services) {
        if (service.health.loaded && service.health.up) {
            found.append(QStringLiteral("%1 up").arg(service.name));
        } else if (service.health.loaded) {
            const QString why = service.health.why.trimmed().section(u'\n', -1);
            found.append(why.isEmpty() ? QStringLiteral("%1 started but not working").arg(service.name)
                                       : QStringLiteral("%1 started but not working (%2)").arg(service.name, why));
            actions.append(QStringLiteral("Restart %1 from %2").arg(service.name, service.control));
        } else if (service.required) {
            found.append(QStringLiteral("%1 not started").arg(service.name));
            actions.append(QStringLiteral("Start %1 from %2").arg(service.name, service.control));
        } else {
            found.append(QStringLiteral("%1 not in use").arg(service.name));
        }
    }
    const QString expected = QStringLiteral("Postfix up, and every other started service working.");
    if (actions.isEmpty())
        return { State::Green, found.join(QLatin1String("; ")) + u'.', expected, {} };
    return { State::Red, found.join(QLatin1String("; ")) + u'.', expected,
        actions.join(QLatin1String("; ")) + QStringLiteral("; if it stops again, the Mail Log tab says why.") };
}

Result needsLoginRule()
{
    return { State::Yellow, QStringLiteral("Not read yet: this needs the administrator's login."),
        QStringLiteral("What the mail system's own files say."), QStringLiteral("Log in, then check again.") };
}

} // namespace brevane::status
