#include "shell/Archive.h"

#include <QCborArray>
#include <QCborParserError>
#include <QCborValue>
#include <limits>

namespace brevane {

namespace {

// Both archives start with their own tag, so a keyed archive is never read as
// a table and stray CBOR from elsewhere is refused.
constexpr quint64 keyedTag = 0x4252564B; // "BRVK"
constexpr quint64 rowsTag = 0x42525652;  // "BRVR"

std::optional<QCborValue> parseTagged(const QByteArray& bytes, quint64 tag, QString* error)
{
    auto fail = [error](const QString& why) -> std::optional<QCborValue> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (bytes.isEmpty())
        return fail(QStringLiteral("the archive is empty"));
    QCborParserError parseError;
    const QCborValue value = QCborValue::fromCbor(bytes, &parseError);
    if (parseError.error != QCborError::NoError)
        return fail(QStringLiteral("the archive is damaged: %1").arg(parseError.errorString()));
    if (!value.isTag() || value.tag() != QCborTag(tag))
        return fail(QStringLiteral("the data is not an archive of this kind"));
    return value.taggedValue();
}

bool isRowValue(const QCborValue& value)
{
    if (value.isString() || value.isInteger() || value.isByteArray() || value.isBool())
        return true;
    if (!value.isMap())
        return false;
    const QCborMap map = value.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        if (!it.key().isString() || !isRowValue(it.value()))
            return false;
    return true;
}

} // namespace

void KeyedArchiver::encodeString(const QString& key, const QString& value)
{
    m_map.insert(key, value);
}

void KeyedArchiver::encodeInteger(const QString& key, qint32 value)
{
    m_map.insert(key, value);
}

void KeyedArchiver::encodeData(const QString& key, const QByteArray& value)
{
    m_map.insert(key, value);
}

QByteArray KeyedArchiver::finishEncoding() const
{
    return QCborValue(QCborTag(keyedTag), m_map).toCbor();
}

KeyedUnarchiver::KeyedUnarchiver(QCborMap map)
    : m_map(std::move(map))
{
}

std::optional<KeyedUnarchiver> KeyedUnarchiver::open(const QByteArray& bytes, QString* error)
{
    const auto value = parseTagged(bytes, keyedTag, error);
    if (!value)
        return std::nullopt;
    if (!value->isMap()) {
        if (error)
            *error = QStringLiteral("the archive holds no keyed values");
        return std::nullopt;
    }
    const QCborMap map = value->toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QCborValue& entry = it.value();
        if (!it.key().isString() || !(entry.isString() || entry.isInteger() || entry.isByteArray())) {
            if (error)
                *error = QStringLiteral("the archive holds a value of an unknown kind");
            return std::nullopt;
        }
    }
    return KeyedUnarchiver(map);
}

bool KeyedUnarchiver::containsValueForKey(const QString& key) const
{
    return m_map.contains(key);
}

std::optional<QString> KeyedUnarchiver::decodeString(const QString& key) const
{
    const QCborValue value = m_map.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<qint32> KeyedUnarchiver::decodeInteger(const QString& key) const
{
    const QCborValue value = m_map.value(key);
    if (!value.isInteger())
        return std::nullopt;
    const qint64 wide = value.toInteger();
    if (wide < std::numeric_limits<qint32>::min() || wide > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(wide);
}

std::optional<QByteArray> KeyedUnarchiver::decodeData(const QString& key) const
{
    const QCborValue value = m_map.value(key);
    if (!value.isByteArray())
        return std::nullopt;
    return value.toByteArray();
}

QByteArray archiveRows(const Rows& rows)
{
    QCborArray array;
    for (const Row& row : rows)
        array.append(QCborMap::fromVariantMap(row));
    return QCborValue(QCborTag(rowsTag), array).toCbor();
}

std::optional<Rows> unarchiveRows(const QByteArray& bytes, QString* error)
{
    const auto value = parseTagged(bytes, rowsTag, error);
    if (!value)
        return std::nullopt;
    if (!value->isArray()) {
        if (error)
            *error = QStringLiteral("the table archive holds no rows");
        return std::nullopt;
    }
    Rows rows;
    for (const QCborValue& entry : value->toArray()) {
        if (!entry.isMap() || !isRowValue(entry)) {
            if (error)
                *error = QStringLiteral("a row of the table archive is damaged");
            return std::nullopt;
        }
        rows.append(entry.toMap().toVariantMap());
    }
    return rows;
}

} // namespace brevane
