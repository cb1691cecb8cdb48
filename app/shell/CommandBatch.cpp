#include "shell/CommandBatch.h"

#include "privileged/TaskWrapper.h"

#include <QRandomGenerator>

namespace brevane {

namespace {

// eval parses each line exactly as "/bin/sh" "-c" line would. A line that
// only reads one plainly named file ("cat /x", "ls /x") prints nothing when
// there is no such file: its program is not started, for every start costs
// about a millisecond and a fresh server lacks most of the maps.
const QString batchHead = QStringLiteral("boundary=$1; shift\n");
const QString batchLoop = QStringLiteral(
    "for line do\n"
    "  case $line in\n"
    "    'cat /'*|'ls /'*) path=${line#* }\n"
    "      case $path in *[!A-Za-z0-9/._-]*) ;; *) test -e \"$path\" || test -L \"$path\" || line= ;; esac ;;\n"
    "  esac\n"
    "  test -z \"$line\" || eval \"$line\"; printf '\\n%s\\n' \"$boundary\"\n"
    "done");

/// Unguessable, so that no file's content can pass for the end of a section.
QString freshBoundary()
{
    QString boundary = QStringLiteral("--brevane-section-");
    for (int i = 0; i < 4; ++i)
        boundary += QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, u'0');
    return boundary;
}

} // namespace

QStringList batchArguments(const QStringList& lines, const QString& boundary, const QString& shortcut)
{
    const QString script = batchHead + shortcut + batchLoop;
    return QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, QString(), boundary} + lines;
}

QStringList splitBatchResult(const QString& result, const QString& boundary, int count)
{
    const QString separator = u'\n' + boundary + u'\n';
    // The run dropped the line feed after the last boundary.
    QStringList sections = (result + u'\n').split(separator);
    if (!result.endsWith(u'\n' + boundary) || sections.size() != count + 1)
        return QStringList(count, QString());
    sections.removeLast();
    for (QString& section : sections)
        section = helperResult(section.toUtf8());
    return sections;
}

QStringList runShellLines(const CommandRunner& run, const QStringList& lines, const QString& shortcut)
{
    const QString boundary = freshBoundary();
    return splitBatchResult(run(batchArguments(lines, boundary, shortcut)), boundary, int(lines.size()));
}

} // namespace brevane
