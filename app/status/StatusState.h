#pragma once

#include "status/AlertRule.h"
#include "status/StatusCheck.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// What the watch job leaves behind after each run: every check's outcome,
// the time of the run, and per check what was last mailed and when. The job
// reads it back as its memory; the Status tab shows it until Check Now runs.
namespace brevane::status {

struct CheckRecord {
    Outcome outcome;
    AlertMemory mailed;
};

struct JobState {
    qint64 checkedAt = 0; ///< seconds since the epoch
    QList<CheckRecord> checks;
};

struct StateRead {
    std::optional<JobState> state;
    QString error; ///< why not, for the administrator; set when state is empty
};

/// The state file's bytes: a JSON object.
QByteArray writeJobState(const JobState& state);
/// Reads what writeJobState wrote. Anything else, damaged or hostile (too
/// big, wrong types, unknown states, texts past their length), gives an
/// error and no state.
StateRead readJobState(const QByteArray& bytes);

/// One mail to send: the check's outcome and what it was mailed as before.
struct Alert {
    Outcome outcome;
    AlertMemory before;
    bool repair = false; ///< back to green
};

struct JobRound {
    JobState next; ///< as if every alert gets sent
    QList<Alert> alerts;
};

/// This run's outcomes against the last run's memory: which checks to mail
/// about, and the state to keep. A check the memory does not know starts as
/// never mailed.
JobRound jobRound(const std::optional<JobState>& previous, const QList<Outcome>& outcomes, qint64 nowSeconds);

/// Puts back the memory of a check whose mail could not be sent, so that the
/// next run tries again.
void keepUnsent(JobState& state, const Alert& alert);

/// "red", "yellow", "green": the words of the state file.
QString stateWord(State state);

} // namespace brevane::status
