#pragma once

#include <QString>
#include <QStringList>

namespace brevane {

/// The fields of the test certificate's subject, as the window holds them.
struct CertificateSubject
{
    QString country;            // countryField
    QString province;           // provinceField
    QString locality;           // localityField
    QString organisation;       // organisationField
    QString organisationalUnit; // organisationalunitField
    QString yourname;           // mydomainField, the certificate's common name
    QString emailAddress;       // youremailaddressField
};

/// "/bin/sh", "-c", the certificate script, "", "BrevaneStuff", then the
/// seven values trimmed of spaces and tabs ($2 country ... $8 e-mail).
/// The script fills openssl.cnf with the values as literal text and
/// installs smtpd.pem, ipop3d.pem and imapd.pem.
QStringList createCertsArguments(const CertificateSubject& subject);

/// Whether the script's output (last character dropped) ends with its
/// closing note, which it prints only once the three files are installed.
bool certificatesInstalled(const QString& scriptOutput);

} // namespace brevane
