#include "status/WatchJob.h"

#include "shell/ResourcePaths.h"

#include <QTimeZone>

namespace brevane::status {

namespace {

    QStringList script(const QString& mode)
    {
        return { QStringLiteral("/bin/sh"), QStringLiteral("-c"), scriptText(QStringLiteral("install-status-job.sh")),
            QString(), QLatin1String(workingFolderName), mode };
    }

} // namespace

QStringList watchJobArguments(bool on, const QByteArray& settings)
{
    QStringList arguments = script(on ? QStringLiteral("on") : QStringLiteral("off"));
    if (on)
        arguments += { scriptText(QStringLiteral("watch-status.sh")), QString::fromUtf8(settings) };
    return arguments;
}

QStringList watchSettingsArguments(const QByteArray& settings)
{
    return script(QStringLiteral("settings")) << QString::fromUtf8(settings);
}

bool watchSettingsTaken(const QString& scriptOutput)
{
    return scriptOutput.contains(QLatin1String("STATUS JOB SETTINGS"));
}

bool watchJobChanged(const QString& scriptOutput, bool on)
{
    return scriptOutput.contains(on ? QLatin1String("STATUS JOB ON") : QLatin1String("STATUS JOB OFF"));
}

QString watchSummary(const JobState& state, const QTimeZone& zone)
{
    int failing = 0;
    int warnings = 0;
    for (const CheckRecord& record : state.checks) {
        failing += record.outcome.result.state == State::Red;
        warnings += record.outcome.result.state == State::Yellow;
    }
    const QString when
        = QDateTime::fromSecsSinceEpoch(state.checkedAt, zone).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    if (failing + warnings == 0)
        return QStringLiteral("Checked by the watch job at %1: all %2 checks OK.").arg(when).arg(state.checks.size());
    return QStringLiteral("Checked by the watch job at %1: %2 failing, %3 warning, of %4 checks.")
        .arg(when)
        .arg(failing)
        .arg(warnings)
        .arg(state.checks.size());
}

} // namespace brevane::status
