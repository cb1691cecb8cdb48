#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// Certificates from an ACME CA (Let's Encrypt and others), obtained and
// renewed by certbot as root.
namespace brevane::acme {

inline constexpr char letsEncryptDirectory[] = "https://acme-v02.api.letsencrypt.org/directory";

enum class Method { Standalone, Webroot };

struct AcmeSettings {
    bool enabled = false;
    QString directoryUrl = QLatin1String(letsEncryptDirectory);
    QString hostName; // the name the certificate is for; "" means the mail domain
    QString email;    // the CA's contact for expiry notices; may be empty
    Method method = Method::Standalone;
    QString webroot; // the web server's document folder, for Method::Webroot
};

/// What is wrong with the settings, naming the field, or nullopt when they
/// may be handed to root. The root script checks the same again.
std::optional<QString> settingsProblem(const AcmeSettings& settings, const QString& mailDomain);

/// The name the certificate is for: the host name given, else the mail domain.
QString certificateHostName(const AcmeSettings& settings, const QString& mailDomain);

bool isHostName(const QString& name);
bool isDirectoryUrl(const QString& url);
bool isEmailAddress(const QString& address);
bool isWebroot(const QString& path);

/// What the administrator confirms before settings a document brought reach
/// root: every value that goes to certbot, one a line.
QString confirmationText(const AcmeSettings& settings, const QString& mailDomain);

/// "/bin/sh", "-c", the obtain script, "", "BrevaneStuff", then
/// $2 directory URL, $3 host name, $4 e-mail, $5 "standalone" or "webroot",
/// $6 web root, $7 the installer script, $8 the renewal script.
QStringList obtainArguments(const AcmeSettings& settings, const QString& mailDomain);

/// Stops and removes the renewal job; the certificates stay.
QString stopRenewalCommand();

/// Whether the obtain script's output ends with its success line.
bool certificateObtained(const QString& scriptOutput);
/// The script's words for the administrator when it failed: its refusal;
/// that the CA refused the order, with the CA's reason; that the CA could
/// not be reached, and what to check; or the last lines certbot printed.
QString failureText(const QString& scriptOutput);

/// The settings document's keys and back; a document without them gives
/// the defaults above.
void putDocumentValues(const AcmeSettings& settings, QVariantMap& values);
AcmeSettings fromDocumentValues(const QVariantMap& values);

} // namespace brevane::acme
