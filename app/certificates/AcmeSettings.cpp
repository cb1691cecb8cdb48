#include "certificates/AcmeSettings.h"

#include "shell/ResourcePaths.h"
#include "shell/TextHelpers.h"

#include <QRegularExpression>

#include <algorithm>

namespace brevane::acme {

namespace {

const QString obtainedNote = QStringLiteral("CERTIFICATE INSTALLED FOR ");
const QString refusedNote = QStringLiteral("REFUSED : ");

bool matchesWhole(const QString& text, const char* pattern)
{
    const QRegularExpression expression(QRegularExpression::anchoredPattern(QLatin1String(pattern)));
    return expression.match(text).hasMatch();
}

} // namespace

bool isHostName(const QString& name)
{
    if (name.size() > 253 || !name.contains(u'.'))
        return false;
    const QStringList labels = name.split(u'.');
    return std::all_of(labels.cbegin(), labels.cend(), [](const QString& label) {
        return label.size() <= 63 && matchesWhole(label, "[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?");
    });
}

bool isDirectoryUrl(const QString& url)
{
    return url.size() <= 255 && matchesWhole(url, "https://[A-Za-z0-9.-]+(:[0-9]{1,5})?(/[A-Za-z0-9._~%/-]*)?");
}

bool isEmailAddress(const QString& address)
{
    const qsizetype at = address.indexOf(u'@');
    return at > 0 && matchesWhole(address.left(at), "[A-Za-z0-9._%+][A-Za-z0-9._%+-]*")
        && isHostName(address.mid(at + 1));
}

bool isWebroot(const QString& path)
{
    if (!matchesWhole(path, "(/[A-Za-z0-9._-]+)+/?"))
        return false;
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    return !parts.contains(QLatin1String("..")) && !parts.contains(QLatin1String("."));
}

QString certificateHostName(const AcmeSettings& settings, const QString& mailDomain)
{
    const QString given = trimSpacesAndTabs(settings.hostName);
    return given.isEmpty() ? trimSpacesAndTabs(mailDomain) : given;
}

std::optional<QString> settingsProblem(const AcmeSettings& settings, const QString& mailDomain)
{
    const QString hostName = certificateHostName(settings, mailDomain);
    if (hostName.isEmpty())
        return QStringLiteral("Enter the host name the certificate is for, or a mail domain.");
    if (!isHostName(hostName))
        return QStringLiteral("The host name \u201c%1\u201d is not a full host name (letters, digits, hyphens and "
                              "dots, such as mail.example.com).")
            .arg(hostName);
    if (!isDirectoryUrl(trimSpacesAndTabs(settings.directoryUrl)))
        return QStringLiteral("The CA directory URL must be an https:// address, such as %1.")
            .arg(QLatin1String(letsEncryptDirectory));
    const QString email = trimSpacesAndTabs(settings.email);
    if (!email.isEmpty() && !isEmailAddress(email))
        return QStringLiteral("The e-mail address \u201c%1\u201d is not an address.").arg(email);
    if (settings.method == Method::Webroot && !isWebroot(trimSpacesAndTabs(settings.webroot)))
        return QStringLiteral("The web root must be the absolute path of the web server's document folder.");
    return std::nullopt;
}

QStringList obtainArguments(const AcmeSettings& settings, const QString& mailDomain)
{
    return {QStringLiteral("/bin/sh"),
            QStringLiteral("-c"),
            scriptText(QStringLiteral("obtain-certificate.sh")),
            QString(),
            QLatin1String(workingFolderName),
            trimSpacesAndTabs(settings.directoryUrl),
            certificateHostName(settings, mailDomain),
            trimSpacesAndTabs(settings.email),
            settings.method == Method::Webroot ? QStringLiteral("webroot") : QStringLiteral("standalone"),
            settings.method == Method::Webroot ? trimSpacesAndTabs(settings.webroot) : QString(),
            scriptText(QStringLiteral("install-certificate.sh")),
            scriptText(QStringLiteral("renew-certificates.sh"))};
}

QString stopRenewalCommand()
{
    return QStringLiteral("plist=/Library/LaunchDaemons/com.dadarozudedarid.certbot.plist; "
                          "test -e $plist && /bin/launchctl unload -w $plist >/dev/null 2>&1; "
                          "rm -f $plist /usr/local/tarnwick/postfix/LaunchDaemons/com.dadarozudedarid.certbot.plist");
}

bool certificateObtained(const QString& scriptOutput)
{
    const QString lastLine = scriptOutput.section(u'\n', -1);
    return lastLine.startsWith(obtainedNote);
}

QString failureText(const QString& scriptOutput)
{
    const QStringList lines = scriptOutput.split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        if (line.startsWith(refusedNote))
            return QStringLiteral("The settings were refused: ") + line.mid(refusedNote.size()) + u'.';
    if (lines.isEmpty())
        return QStringLiteral("certbot printed nothing.");
    return lines.mid(std::max<qsizetype>(lines.size() - 6, 0)).join(u'\n');
}

namespace {

const QString enabledKey = QStringLiteral("acmeEnabled");
const QString directoryKey = QStringLiteral("acmeDirectoryField");
const QString hostNameKey = QStringLiteral("acmeHostNameField");
const QString emailKey = QStringLiteral("acmeEmailField");
const QString methodKey = QStringLiteral("acmeMethod");
const QString webrootKey = QStringLiteral("acmeWebrootField");

} // namespace

void putDocumentValues(const AcmeSettings& settings, QVariantMap& values)
{
    values.insert(enabledKey, settings.enabled ? 1 : 0);
    values.insert(directoryKey, settings.directoryUrl);
    values.insert(hostNameKey, settings.hostName);
    values.insert(emailKey, settings.email);
    values.insert(methodKey, settings.method == Method::Webroot ? 1 : 0);
    values.insert(webrootKey, settings.webroot);
}

AcmeSettings fromDocumentValues(const QVariantMap& values)
{
    AcmeSettings settings;
    settings.enabled = values.value(enabledKey).toInt() != 0;
    settings.directoryUrl = values.value(directoryKey, settings.directoryUrl).toString();
    settings.hostName = values.value(hostNameKey).toString();
    settings.email = values.value(emailKey).toString();
    settings.method = values.value(methodKey).toInt() == 1 ? Method::Webroot : Method::Standalone;
    settings.webroot = values.value(webrootKey).toString();
    return settings;
}

} // namespace brevane::acme
