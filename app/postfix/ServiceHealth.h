#pragma once

#include <QString>
#include <QStringList>

// Whether a loaded launchd job's service is really up. The job-listing
// probes print "YES" when the job is loaded; these add, in the same root
// run, what tells a loaded job from a working service.
namespace brevane::services {

struct ServiceHealth {
    bool loaded = false;
    bool up = false;
    /// Why it is not up: the last lines the service logged.
    QString why;
};

/// The Postfix job-listing probe, then "DOWN" and Postfix's last log lines
/// when no master runs (its pid file names no live master).
QString postfixHealthProbe();
/// The fetchmail job-listing probe, then the last lines of fetchmail's log
/// ("LOG " each), the log's age in seconds ("AGE ") and the polling
/// interval of the run-control file ("INTERVAL ").
QString fetchmailHealthProbe();

/// A loaded Postfix is up when its master runs or the SMTP port answers.
ServiceHealth postfixHealth(const QString& probeOutput, bool smtpPortAnswers);
/// A loaded fetchmail is up unless its last poll failed: the log ends on a
/// failure, and has not been quiet for two polling rounds since.
ServiceHealth fetchmailHealth(const QString& probeOutput);

/// True when fetchmail's log lines, oldest first, end on a failed poll: a
/// "Query status=" of an error (2 and above) after the daemon's last start
/// and after the last message it fetched.
bool lastPollFailed(const QStringList& logLines);

/// The tool tip of a light that is loaded but not up.
QString downToolTip(const QString& service, const QString& why);

} // namespace brevane::services
