#include "postfix/Certificates.h"

#include "shell/TextHelpers.h"
#include "shell/ResourcePaths.h"

namespace brevane {

QStringList createCertsArguments(const CertificateSubject& subject)
{
    return {QStringLiteral("/bin/sh"),
            QStringLiteral("-c"),
            scriptText(QStringLiteral("create-certs.sh")),
            QString(),
            QLatin1String(workingFolderName),
            trimSpacesAndTabs(subject.country),
            trimSpacesAndTabs(subject.province),
            trimSpacesAndTabs(subject.locality),
            trimSpacesAndTabs(subject.organisation),
            trimSpacesAndTabs(subject.organisationalUnit),
            trimSpacesAndTabs(subject.yourname),
            trimSpacesAndTabs(subject.emailAddress)};
}

bool certificatesInstalled(const QString& scriptOutput)
{
    return scriptOutput.endsWith(QLatin1String("NOTE : Please look into /System/Library/OpenSSL/certs"));
}

} // namespace brevane
