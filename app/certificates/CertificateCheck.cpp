#include "certificates/CertificateCheck.h"

#include "postfix/ServiceRules.h"


#include <algorithm>

namespace brevane::certificates {

namespace {

const QString blockMark = QStringLiteral("== ");
const QString unreadableLine = QStringLiteral("== unreadable");

// The common name of an RFC 2253 subject ("CN=a\, b,O=c"): components are
// split at commas without a backslash before them.
QString commonNameOf(const QString& subject)
{
    QString component;
    const auto take = [&component]() -> QString {
        return component.startsWith(QLatin1String("CN=")) ? component.mid(3) : QString();
    };
    for (qsizetype i = 0; i < subject.size(); ++i) {
        const QChar c = subject.at(i);
        if (c == u'\\' && i + 1 < subject.size()) {
            component += subject.at(++i);
        } else if (c == u',') {
            if (const QString name = take(); !name.isEmpty())
                return name;
            component.clear();
        } else {
            component += c;
        }
    }
    return take();
}

QDateTime utcDate(const QString& text)
{
    QDateTime date = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss'Z'"));
    date.setTimeSpec(Qt::UTC);
    return date;
}

void readLine(CertificateFacts& facts, const QString& line, bool& inNames)
{
    if (line.startsWith(QLatin1String("subject="))) {
        facts.commonName = commonNameOf(line.mid(8));
    } else if (line.startsWith(QLatin1String("notAfter="))) {
        // The last one counts: a name cannot forge the dates printed after it.
        facts.notAfter = utcDate(line.mid(9));
    } else if (line.startsWith(QLatin1String("notBefore="))) {
        facts.notBefore = utcDate(line.mid(10));
    } else if (line.startsWith(QLatin1String("X509v3 Subject Alternative Name:"))) {
        inNames = true;
        return;
    } else if (inNames && line.startsWith(QLatin1String("    "))) {
        for (const QString& entry : line.trimmed().split(QLatin1String(", ")))
            if (entry.startsWith(QLatin1String("DNS:")))
                facts.dnsNames.append(entry.mid(4));
    }
    inNames = false;
}

} // namespace

QString probeCommand()
{
    return QStringLiteral("for f in ") + services::certificatePaths().join(u' ')
        + QStringLiteral("; do echo \"== $f\"; /usr/bin/openssl x509 -noout -subject -nameopt RFC2253 "
                         "-ext subjectAltName -startdate -enddate -dateopt iso_8601 -in $f 2>/dev/null || echo '")
        + unreadableLine + QStringLiteral("'; done");
}

QList<CertificateFacts> parseProbe(const QString& output)
{
    QList<CertificateFacts> certificates;
    bool inNames = false;
    for (const QString& line : output.split(u'\n')) {
        if (line == unreadableLine) {
            if (!certificates.isEmpty())
                certificates.last() = CertificateFacts{};
        } else if (line.startsWith(blockMark)) {
            certificates.append(CertificateFacts{true, {}, {}, {}, {}});
            inNames = false;
        } else if (!certificates.isEmpty()) {
            readLine(certificates.last(), line, inNames);
        }
    }
    return certificates;
}

bool nameCovers(const QString& certificateName, const QString& hostName)
{
    if (hostName.isEmpty() || certificateName.isEmpty())
        return false;
    if (certificateName.startsWith(QLatin1String("*."))) {
        const qsizetype dot = hostName.indexOf(u'.');
        return dot > 0 && hostName.mid(dot).compare(certificateName.mid(1), Qt::CaseInsensitive) == 0;
    }
    return certificateName.compare(hostName, Qt::CaseInsensitive) == 0;
}

Verdict judge(const QList<CertificateFacts>& certificates, qsizetype expectedCount, const QString& hostName,
              const QDateTime& now)
{
    if (certificates.size() != expectedCount)
        return {false, QStringLiteral("No certificate is installed.")};
    for (const CertificateFacts& facts : certificates) {
        if (!facts.readable)
            return {false, QStringLiteral("A certificate file holds no readable certificate.")};
        const QStringList names = facts.dnsNames.isEmpty() ? QStringList{facts.commonName} : facts.dnsNames;
        if (std::none_of(names.cbegin(), names.cend(),
                         [&hostName](const QString& name) { return nameCovers(name, hostName); }))
            return {false, QStringLiteral("The certificate is for %1, not for %2.")
                               .arg(names.join(QLatin1String(", ")), hostName)};
        if (!facts.notAfter.isValid())
            return {false, QStringLiteral("The certificate's end date cannot be read.")};
        if (facts.notAfter <= now)
            return {false, QStringLiteral("The certificate expired on %1.")
                               .arg(facts.notAfter.toString(QStringLiteral("yyyy-MM-dd")))};
    }
    return {true, QString()};
}

QString expectedHostName(const QString& acmeHostName, const QString& mailDomain, const QString& machineName)
{
    for (const QString& name : {acmeHostName, mailDomain})
        if (!name.trimmed().isEmpty())
            return name.trimmed();
    return machineName;
}

QString summary(const QList<CertificateFacts>& certificates)
{
    if (certificates.isEmpty() || !certificates.first().readable)
        return QString();
    const CertificateFacts& facts = certificates.first();
    const QStringList names = facts.dnsNames.isEmpty() ? QStringList{facts.commonName} : facts.dnsNames;
    return QStringLiteral("%1, until %2")
        .arg(names.join(QLatin1String(", ")), facts.notAfter.toString(QStringLiteral("yyyy-MM-dd")));
}

} // namespace brevane::certificates
