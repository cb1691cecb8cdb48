#pragma once

#include <QMap>
#include <QString>

// The application's user defaults: QSettings underneath, with a table of
// initial values so that a key never stored still reads as its default.
namespace brevane {

/// The initial values, registered at start-up.
const QMap<QString, QString>& initialUserDefaults();

class UserDefaults
{
public:
    static QString value(const QString& key);
    static void setValue(const QString& key, const QString& value);
};

} // namespace brevane
