#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace brevane {

/// Runs one privileged argument vector and answers its output, last
/// character dropped ("" for nothing). The window passes its TaskWrapper;
/// tests pass a fake or a real shell.
using CommandRunner = std::function<QString(const QStringList& arguments)>;

/// "/bin/sh", "-c", line: the shape of almost every privileged command.
inline QStringList shellCommand(const QString& line)
{
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), line};
}

} // namespace brevane
