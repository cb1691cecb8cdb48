#pragma once

#include "shell/Archive.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

// The settings document: one keyed archive of 46 entries, each keyed by the
// outlet whose value it carries, the two tables as row archives inside it.
namespace brevane::document {

inline constexpr char fileType[] = "brvn";
inline constexpr char proposedName[] = "Brevane Config";

enum class Kind { String, Integer, Table };

struct Entry {
    QString key;
    Kind kind;
    QVariant absent; // what a document without the key gives
};

/// The path a save writes to: one whose name lacks the ".brvn" type gets
/// it, so the open panel lists the document.
QString withFileType(const QString& path);

/// The window's title for the forms of this document ("" for none), with
/// Qt's "[*]" where the mark of changed forms goes.
QString windowTitle(const QString& documentPath);

/// The 46 entries in the order they are written.
const QList<Entry>& entries();

/// Values by key: QString, int, or Rows (as QVariant::fromValue<Rows>) for tables.
/// A missing luser_relay_popup means "no item selected".
QByteArray encode(const QVariantMap& values);

/// Every entry's value, absent keys filled in as documented; nullopt with
/// `error` set when the bytes are not a settings document or an entry is
/// damaged, so that nothing half-read reaches the window.
std::optional<QVariantMap> decode(const QByteArray& bytes, QString* error = nullptr);

/// A place counts as writable only when the user may write it and it is
/// not marked read-only (no write bit at all), which holds for root too.
bool isWritableFile(const QString& path);

/// Writes bytes in one atomic replace into a file only its owner may read
/// or write (mode 0600 before the first byte); false when that failed.
bool writeAtomically(const QString& path, const QByteArray& bytes);

/// Recent-documents list, newest first, at most ten entries.
QStringList recentDocuments();
void noteRecentDocument(const QString& path);

} // namespace brevane::document

Q_DECLARE_METATYPE(brevane::Rows)
