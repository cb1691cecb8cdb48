#include "certificates/AcmeSettings.h"

#include "shell/ResourcePaths.h"
#include "shell/TextHelpers.h"

#include <QRegularExpression>

#include <algorithm>

namespace brevane::acme {

namespace {

const QString obtainedNote = QStringLiteral("CERTIFICATE INSTALLED FOR ");
const QString refusedNote = QStringLiteral("REFUSED : ");
const QString caErrorNote = QStringLiteral("CA ERROR : ");

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

QString confirmationText(const AcmeSettings& settings, const QString& mailDomain)
{
    const QString email = trimSpacesAndTabs(settings.email);
    QStringList lines{
        QStringLiteral("These settings came from a settings document, and certbot runs as root with them. Request "
                       "the certificate only if you meant them:"),
        QStringLiteral("CA: ") + trimSpacesAndTabs(settings.directoryUrl),
        QStringLiteral("Host name: ") + certificateHostName(settings, mailDomain),
        QStringLiteral("E-mail: ") + (email.isEmpty() ? QStringLiteral("(none)") : email),
    };
    lines.append(settings.method == Method::Webroot
                     ? QStringLiteral("The CA's file goes into: ") + trimSpacesAndTabs(settings.webroot)
                           + QStringLiteral("/.well-known/acme-challenge")
                     : QStringLiteral("The CA checks this machine on port 80 (certbot answers itself)."));
    return lines.join(u'\n');
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

namespace {

// The CA's problem document as certbot logs it: "TYPE :: DESCRIPTION ::
// DETAIL", maybe after "Problem for NAME: "; the detail is the CA's own reason.
QString caRefusal(const QString& error)
{
    const QStringList parts = error.split(QLatin1String(" :: "));
    const QString type = parts.constFirst().section(u' ', -1);
    const QString reason = parts.size() > 2 ? parts.mid(2).join(QLatin1String(" :: ")) : parts.constLast();
    const QString code = type.section(u':', -1);
    return QStringLiteral("The CA refused the order: %1%2").arg(reason.trimmed(),
                                                                code.isEmpty() || code == reason.trimmed()
                                                                    ? QString()
                                                                    : QStringLiteral(" (%1)").arg(code));
}

// The exception certbot crashed with: the line after its "An unexpected
// error occurred:"; "" when it did not crash.
QString crashLine(const QStringList& lines)
{
    const qsizetype at = lines.indexOf(QStringLiteral("An unexpected error occurred:"));
    return at >= 0 && at + 1 < lines.size() ? lines.at(at + 1) : QString();
}

// Why certbot never got an answer from the CA, from the exception it
// crashed with; "" when it did get one. (A challenge the CA could not
// fetch from this machine also says "Connection refused", but certbot
// reports that without crashing.)
QString unreachableReason(const QString& exception)
{
    if (!exception.startsWith(QLatin1String("requests.exceptions.")) && !exception.contains(QLatin1String("Requesting "))
        && !exception.contains(QLatin1String("Max retries exceeded")))
        return {};
    const struct {
        const char* sign;
        const char* reason;
    } signs[] = {
        {"Temporary failure in name resolution", "its name does not resolve"},
        {"Name or service not known", "its name does not resolve"},
        {"No address associated with hostname", "its name does not resolve"},
        {"Connection refused", "nothing answers at its address and port"},
        {"Network is unreachable", "the network is unreachable"},
        {"No route to host", "there is no route to it"},
        {"timed out", "it did not answer in time"},
        {"CERTIFICATE_VERIFY_FAILED", "its TLS certificate is not trusted"},
        {"SSLError", "the TLS connection to it failed"},
    };
    for (const auto& sign : signs)
        if (exception.contains(QLatin1String(sign.sign)))
            return QLatin1String(sign.reason);
    return QStringLiteral("the connection to it failed");
}

} // namespace

QString failureText(const QString& scriptOutput)
{
    const QStringList lines = scriptOutput.split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        if (line.startsWith(refusedNote))
            return QStringLiteral("The settings were refused: ") + line.mid(refusedNote.size()) + u'.';
    for (const QString& line : lines)
        if (line.startsWith(caErrorNote))
            return caRefusal(line.mid(caErrorNote.size()));
    if (const QString reason = unreachableReason(crashLine(lines)); !reason.isEmpty())
        return QStringLiteral("The CA could not be reached: %1. Check the CA directory URL, this machine's "
                              "network connection and name service, and that no firewall blocks outgoing "
                              "HTTPS.")
            .arg(reason);
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
