#pragma once

#include <QByteArray>
#include <QCborMap>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

// The archive layer: a keyed archive (key -> string, integer or data) and a
// non-keyed archive of an array of row maps. Both are CBOR. Readers report
// damage through their error text and never trust the bytes they are given.
namespace brevane {

using Row = QVariantMap;
using Rows = QList<Row>;

class KeyedArchiver
{
public:
    void encodeString(const QString& key, const QString& value);
    void encodeInteger(const QString& key, qint32 value);
    void encodeData(const QString& key, const QByteArray& value);
    QByteArray finishEncoding() const;

private:
    QCborMap m_map;
};

class KeyedUnarchiver
{
public:
    /// Opens an archive; nullopt with `error` set when the bytes are not one.
    static std::optional<KeyedUnarchiver> open(const QByteArray& bytes, QString* error = nullptr);

    bool containsValueForKey(const QString& key) const;
    /// Each accessor answers nullopt when the key is missing or its value is
    /// of another kind, so a damaged entry never passes for a good one.
    std::optional<QString> decodeString(const QString& key) const;
    std::optional<qint32> decodeInteger(const QString& key) const;
    std::optional<QByteArray> decodeData(const QString& key) const;

private:
    explicit KeyedUnarchiver(QCborMap map);
    QCborMap m_map;
};

/// Non-keyed archive of rows, kept in order. Row values may be strings,
/// integers or nested maps (a choice-list entry such as {"value": "POP3"}).
QByteArray archiveRows(const Rows& rows);
std::optional<Rows> unarchiveRows(const QByteArray& bytes, QString* error = nullptr);

} // namespace brevane
