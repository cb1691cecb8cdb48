#include "document/SettingsDocument.h"

#include "deliverability/DkimSigning.h"
#include "certificates/AcmeSettings.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <sys/stat.h>
#include <unistd.h>

namespace brevane::document {

const QList<Entry>& entries()
{
    const auto text = [](const char* key, const char* absent = "") {
        return Entry{QString::fromLatin1(key), Kind::String, QString::fromLatin1(absent)};
    };
    const auto integer = [](const char* key) { return Entry{QString::fromLatin1(key), Kind::Integer, 0}; };
    const auto table = [](const char* key) {
        return Entry{QString::fromLatin1(key), Kind::Table, QVariant::fromValue(Rows{})};
    };
    static const QList<Entry> list{
        text("myoriginField"), text("messagesizeField", "0"), text("mailboxsizeField", "0"),
        text("relayhostField"), integer("enableSASLClient"), integer("requireSSLClient"),
        text("smartHostUserID"), text("smartHostPassword"), text("mydomainField"),
        text("mydestinationField"), text("virtualDomainsField"), text("accessField"),
        text("aliasesField"), text("customField"),
        Entry{QStringLiteral("luser_relay_popup"), Kind::String, QVariant()},
        text("rblSitesField"), text("portNosField"), text("virtualField"), integer("saslAuthMethod"),
        text("sasldb_passwdField"), integer("enableSSL"), integer("requireSSL"), integer("mynetworks_style"),
        text("countryField"), text("provinceField"), text("localityField"), text("organisationField"),
        text("organisationalunitField"), text("youremailaddressField"), text("pollingIntervalField", "60"),
        text("timeOutIntervalField", "45"), table("fetchmailController"), table("smartHostController"),
        // Later additions: older documents lack them and get these values.
        integer("dkimSigning"), text("dkimSelector", dkim::defaultSelector),
        // Certificates from an ACME CA; older documents give the defaults.
        integer("acmeEnabled"), text("acmeDirectoryField", acme::letsEncryptDirectory), text("acmeHostNameField"),
        text("acmeEmailField"), integer("acmeMethod"), text("acmeWebrootField"),
        // Spam and virus filtering; older documents have it off.
        integer("spamFiltering"), text("spamHeaderScore", "6"), text("spamRejectScore", "15"), integer("greylisting"),
        integer("virusScanning"),
    };
    return list;
}

QByteArray encode(const QVariantMap& values)
{
    KeyedArchiver archiver;
    for (const Entry& entry : entries()) {
        if (!values.contains(entry.key))
            continue;
        const QVariant value = values.value(entry.key);
        switch (entry.kind) {
        case Kind::String:
            if (!value.isNull())
                archiver.encodeString(entry.key, value.toString());
            break;
        case Kind::Integer:
            archiver.encodeInteger(entry.key, value.toInt());
            break;
        case Kind::Table:
            archiver.encodeData(entry.key, archiveRows(value.value<Rows>()));
            break;
        }
    }
    return archiver.finishEncoding();
}

namespace {

std::optional<QVariant> decodeEntry(const KeyedUnarchiver& archive, const Entry& entry, QString* error)
{
    if (!archive.containsValueForKey(entry.key))
        return entry.absent;
    std::optional<QVariant> value;
    switch (entry.kind) {
    case Kind::String:
        if (const auto text = archive.decodeString(entry.key))
            value = *text;
        break;
    case Kind::Integer:
        if (const auto number = archive.decodeInteger(entry.key))
            value = *number;
        break;
    case Kind::Table:
        if (const auto blob = archive.decodeData(entry.key)) {
            if (const auto rows = unarchiveRows(*blob, error))
                value = QVariant::fromValue(*rows);
        }
        break;
    }
    if (!value && error)
        *error = QStringLiteral("the entry \"%1\" is damaged").arg(entry.key);
    return value;
}

} // namespace

std::optional<QVariantMap> decode(const QByteArray& bytes, QString* error)
{
    const auto archive = KeyedUnarchiver::open(bytes, error);
    if (!archive)
        return std::nullopt;
    QVariantMap values;
    for (const Entry& entry : entries()) {
        const auto value = decodeEntry(*archive, entry, error);
        if (!value)
            return std::nullopt;
        values.insert(entry.key, *value);
    }
    return values;
}

bool isWritableFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::stat(native.constData(), &status) != 0)
        return false;
    return (status.st_mode & 0222) != 0 && ::access(native.constData(), W_OK) == 0;
}

bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Documents hold every password of the forms: private before the first
    // byte, whatever the umask or the mode of the file they replace.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QStringList recentDocuments()
{
    return QSettings().value(QStringLiteral("recentDocuments")).toStringList();
}

void noteRecentDocument(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList recent = recentDocuments();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > 10)
        recent.removeLast();
    QSettings().setValue(QStringLiteral("recentDocuments"), recent);
}

QString withFileType(const QString& path)
{
    if (QFileInfo(path).suffix() == QLatin1String(fileType))
        return path;
    return path + QLatin1Char('.') + QLatin1String(fileType);
}

QString windowTitle(const QString& documentPath)
{
    if (documentPath.isEmpty())
        return QStringLiteral("Brevane[*]");
    return QFileInfo(documentPath).fileName() + QStringLiteral("[*] \u2014 Brevane");
}

} // namespace brevane::document
