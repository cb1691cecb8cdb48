#include "shell/CommandBatch.h"

#include "privileged/TaskWrapper.h"

#include <QRandomGenerator>

namespace brevane {

namespace {

// eval parses each line exactly as "/bin/sh" "-c" line would.
const QString batchScript = QStringLiteral("boundary=$1; shift\n"
                                           "for line do eval \"$line\"; printf '\\n%s\\n' \"$boundary\"; done");

/// Unguessable, so that no file's content can pass for the end of a section.
QString freshBoundary()
{
    QString boundary = QStringLiteral("--brevane-section-");
    for (int i = 0; i < 4; ++i)
        boundary += QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, u'0');
    return boundary;
}

} // namespace

QStringList batchArguments(const QStringList& lines, const QString& boundary)
{
    return QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"), batchScript, QString(), boundary} + lines;
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

QStringList runShellLines(const CommandRunner& run, const QStringList& lines)
{
    const QString boundary = freshBoundary();
    return splitBatchResult(run(batchArguments(lines, boundary)), boundary, int(lines.size()));
}

} // namespace brevane
