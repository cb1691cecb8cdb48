#include "status/job/JobSettings.h"

#include "deliverability/DnsLookup.h"
#include "status/StatusSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <functional>

namespace brevane::status::job {

namespace {

    constexpr qsizetype sizeLimit = 64 * 1024;
    constexpr qsizetype listLimit = 200;

    using Valid = std::function<bool(const QString&)>;

    bool isAddress(const QString& text)
    {
        return !dns::reverseName(text).isEmpty();
    }

    bool isSelector(const QString& text)
    {
        static const QRegularExpression pattern(QStringLiteral(
            "^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*$"));
        return text.size() <= 253 && pattern.match(text).hasMatch();
    }

    bool emptyOr(const QString& text, const Valid& valid)
    {
        return text.isEmpty() || valid(text);
    }

    // A value quoted in a refusal: short, and on one line.
    QString quoted(QString text)
    {
        for (QChar& c : text)
            if (!c.isPrint())
                c = u'?';
        return u'\u201c' + text.left(80) + u'\u201d';
    }

    QJsonArray array(const QStringList& list)
    {
        return QJsonArray::fromStringList(list);
    }

    // Reads one field; answers why it is refused, or "".
    struct Reader {
        const QJsonObject& object;

        QString text(const char* key, QString& into, const Valid& valid) const
        {
            const QJsonValue value = object.value(QLatin1String(key));
            if (!value.isString())
                return QStringLiteral("%1 is not a text.").arg(QLatin1String(key));
            into = value.toString();
            return emptyOr(into, valid) ? QString()
                                        : QStringLiteral("%1 %2 is refused.").arg(QLatin1String(key), quoted(into));
        }

        QString list(const char* key, QStringList& into, const Valid& valid) const
        {
            const QJsonValue value = object.value(QLatin1String(key));
            if (!value.isArray() || value.toArray().size() > listLimit)
                return QStringLiteral("%1 is not a list of at most %2.").arg(QLatin1String(key)).arg(listLimit);
            for (const QJsonValue& item : value.toArray()) {
                if (!item.isString() || !valid(item.toString()))
                    return QStringLiteral("%1 holds %2, which is refused.")
                        .arg(QLatin1String(key), quoted(item.isString() ? item.toString() : QStringLiteral("no text")));
                into.append(item.toString());
            }
            return {};
        }

        QString number(const char* key, qint64& into, qint64 low, qint64 high) const
        {
            const double value = object.value(QLatin1String(key)).toDouble(-1);
            if (value < double(low) || value > double(high) || value != double(qint64(value)))
                return QStringLiteral("%1 is not a whole number from %2 to %3.")
                    .arg(QLatin1String(key))
                    .arg(low)
                    .arg(high);
            into = qint64(value);
            return {};
        }
    };

    QString readPorts(const QJsonValue& value, QList<PortToProbe>& into)
    {
        static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9]{1,20}$"));
        if (!value.isArray() || value.toArray().size() > 20)
            return QStringLiteral("ports is not a list of at most 20.");
        for (const QJsonValue& item : value.toArray()) {
            const QJsonObject port = item.toObject();
            const double number = port.value(QLatin1String("port")).toDouble(0);
            const QString title = port.value(QLatin1String("name")).toString();
            if (port.size() != 2 || number < 1 || number > 65535 || number != double(int(number))
                || !name.match(title).hasMatch())
                return QStringLiteral("ports holds an entry that is not a name and a port from 1 to 65535.");
            into.append({ title, int(number) });
        }
        return {};
    }

    bool isPublicKey(const QString& text)
    {
        static const QRegularExpression base64(QStringLiteral("^[A-Za-z0-9+/]{1,8192}={0,2}$"));
        return base64.match(text).hasMatch();
    }

    QString readKeys(const QJsonValue& value, QMap<QString, QString>& into)
    {
        const QJsonObject keys = value.toObject();
        if (!value.isObject() || keys.size() > listLimit)
            return QStringLiteral("publicKeys is not a table of at most %1.").arg(listLimit);
        for (auto key = keys.begin(); key != keys.end(); ++key) {
            if (!isZoneName(key.key()) || !isPublicKey(key.value().toString()))
                return QStringLiteral("publicKeys holds %1, which is refused.").arg(quoted(key.key()));
            into.insert(key.key().toLower(), key.value().toString());
        }
        return {};
    }

    const QStringList& knownKeys()
    {
        static const QStringList keys { "domains", "selector", "publicKeys", "sendingAddress", "target",
            "publicAddresses", "ports", "blockZones", "relayRecipient", "vantage", "queueLimit" };
        return keys;
    }

    QString readAll(const QJsonObject& object, JobSettings& s)
    {
        for (auto key = object.begin(); key != object.end(); ++key)
            if (!knownKeys().contains(key.key()))
                return QStringLiteral("%1 is not a setting of the watch job.").arg(quoted(key.key()));
        if (object.size() != knownKeys().size())
            return QStringLiteral("Settings are missing.");
        const Reader read { object };
        qint64 limit = 0;
        const Valid vantage = [](const QString& text) { return readVantage(text).error.isEmpty(); };
        for (const QString& error : {
                 read.list("domains", s.domains, isZoneName),
                 read.text("selector", s.selector, isSelector),
                 readKeys(object.value(QLatin1String("publicKeys")), s.publicKeys),
                 read.text("sendingAddress", s.sendingAddress, isAddress),
                 read.text("target", s.target, isHostOrAddress),
                 read.list("publicAddresses", s.publicAddresses, isAddress),
                 readPorts(object.value(QLatin1String("ports")), s.ports),
                 read.list("blockZones", s.blockZones, isZoneName),
                 read.text("relayRecipient", s.relayRecipient, isPlainMailAddress),
                 read.text("vantage", s.vantage, vantage),
                 read.number("queueLimit", limit, queueLimitMinimum, queueLimitMaximum),
             })
            if (!error.isEmpty())
                return error;
        s.queueLimit = qsizetype(limit);
        // The checks' ids carry the domain: one spelling each.
        for (QString& domain : s.domains)
            domain = domain.toLower();
        return {};
    }

} // namespace

JobSettings jobSettingsOf(const StatusInputs& inputs)
{
    // What the job would refuse is left out here, where the tab already
    // names it, so that one half-typed field does not cost the job the rest.
    const auto kept = [](QStringList list, const Valid& valid) {
        list.removeIf([&valid](const QString& item) { return !valid(item); });
        return list;
    };
    const auto valid = [](const QString& text, const Valid& valid) { return valid(text) ? text : QString(); };
    const OutsideInputs& outside = inputs.outside;
    QMap<QString, QString> keys;
    for (auto key = inputs.dns.publicKeys.cbegin(); key != inputs.dns.publicKeys.cend(); ++key)
        if (isZoneName(key.key()) && isPublicKey(key.value()))
            keys.insert(key.key(), key.value());
    return { kept(inputs.dns.domains, isZoneName), valid(inputs.dns.selector, isSelector), keys,
        valid(inputs.dns.publicAddress, isAddress), valid(outside.target, isHostOrAddress),
        kept(outside.publicAddresses, isAddress), outside.ports, kept(outside.blockZones, isZoneName),
        outside.relayRecipient == OutsideInputs {}.relayRecipient ? QString()
                                                                  : valid(outside.relayRecipient, isPlainMailAddress),
        readVantage(outside.vantage).error.isEmpty() ? outside.vantage.simplified() : QString(),
        std::clamp<qsizetype>(inputs.queueLimits.messages, queueLimitMinimum, queueLimitMaximum) };
}

StatusInputs withJobSettings(StatusInputs inputs, const JobSettings& settings)
{
    inputs.dns.domains = settings.domains;
    inputs.dns.selector = settings.selector;
    inputs.dns.publicKeys = settings.publicKeys;
    inputs.dns.publicAddress = settings.sendingAddress;
    inputs.outside.target = settings.target;
    inputs.outside.publicAddresses = settings.publicAddresses;
    inputs.outside.ports = settings.ports;
    inputs.outside.blockZones = settings.blockZones;
    if (!settings.relayRecipient.isEmpty())
        inputs.outside.relayRecipient = settings.relayRecipient;
    inputs.outside.vantage = settings.vantage;
    inputs.queueLimits.messages = settings.queueLimit;
    return inputs;
}

QByteArray writeJobSettings(const JobSettings& s)
{
    QJsonObject keys;
    for (auto key = s.publicKeys.cbegin(); key != s.publicKeys.cend(); ++key)
        keys.insert(key.key(), key.value());
    QJsonArray ports;
    for (const PortToProbe& port : s.ports)
        ports.append(QJsonObject { { QStringLiteral("name"), port.name }, { QStringLiteral("port"), port.port } });
    return QJsonDocument(QJsonObject {
                             { QStringLiteral("domains"), array(s.domains) },
                             { QStringLiteral("selector"), s.selector },
                             { QStringLiteral("publicKeys"), keys },
                             { QStringLiteral("sendingAddress"), s.sendingAddress },
                             { QStringLiteral("target"), s.target },
                             { QStringLiteral("publicAddresses"), array(s.publicAddresses) },
                             { QStringLiteral("ports"), ports },
                             { QStringLiteral("blockZones"), array(s.blockZones) },
                             { QStringLiteral("relayRecipient"), s.relayRecipient },
                             { QStringLiteral("vantage"), s.vantage },
                             { QStringLiteral("queueLimit"), qint64(s.queueLimit) },
                         })
        .toJson(QJsonDocument::Compact);
}

SettingsRead readJobSettings(const QByteArray& bytes)
{
    const QString prefix = QStringLiteral("The watch job's settings are refused: ");
    if (bytes.size() > sizeLimit)
        return { std::nullopt, prefix + QStringLiteral("the file is larger than %1 bytes.").arg(sizeLimit) };
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parsed);
    if (parsed.error != QJsonParseError::NoError || !document.isObject())
        return { std::nullopt, prefix + QStringLiteral("the file is not a settings object.") };
    JobSettings settings;
    const QString error = readAll(document.object(), settings);
    if (!error.isEmpty())
        return { std::nullopt, prefix + error };
    return { settings, {} };
}

} // namespace brevane::status::job
