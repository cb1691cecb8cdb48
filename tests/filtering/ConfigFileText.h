#pragma once

#include "filtering/RspamdConfig.h"

#include <QList>
#include <QString>

// The text of one file the configuration sends, by name, for the tests
// that read what rspamd and Dovecot are given.
inline QString fileText(const QList<brevane::filtering::ConfigFile>& files, const QString& name)
{
    for (const brevane::filtering::ConfigFile& file : files)
        if (file.name == name)
            return file.text;
    return QStringLiteral("(missing)");
}
