#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// Whether the installed certificates may turn the SSL light green: each of
// the three readable, naming the host and not expired. One probe per status
// refresh reads what the decision needs; the decision is a pure function.
namespace brevane::certificates {

/// For each certificate file, a "== PATH" line, then openssl's subject,
/// subject alternative names, start and end date, or "== unreadable". Run as
/// root: the files hold the private key too.
QString probeCommand();

struct CertificateFacts {
    bool readable = false;
    QString commonName;
    QStringList dnsNames; // the subject alternative names of type DNS
    QDateTime notAfter;   // invalid when openssl printed none
    QDateTime notBefore;  // likewise
};

/// The probe's output, one entry per file in probe order.
QList<CertificateFacts> parseProbe(const QString& output);

/// Whether a certificate name (possibly "*.example.com", one label deep)
/// covers the host name; case does not matter.
bool nameCovers(const QString& certificateName, const QString& hostName);

struct Verdict {
    bool usable = false;
    QString reason; // for the administrator, empty when usable
};

/// Usable when there are `expectedCount` certificates and every one is
/// readable, names the host (its DNS alternative names, or its common
/// name when it has none) and has not expired at `now`.
Verdict judge(const QList<CertificateFacts>& certificates, qsizetype expectedCount, const QString& hostName,
              const QDateTime& now);

/// The host name the certificate must name: the ACME host when certificates
/// come from a CA, else the mail domain, else this machine's name (what the
/// test certificate is made for in each case).
QString expectedHostName(const QString& acmeHostName, const QString& mailDomain, const QString& machineName);

/// "mail.example.com, until 2027-03-08" for the first certificate; "" when
/// it is unreadable.
QString summary(const QList<CertificateFacts>& certificates);

} // namespace brevane::certificates
