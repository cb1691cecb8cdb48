#pragma once

#include "shell/CommandRunner.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>


namespace brevane {

/// The right shellTool asks for; defined by the first login when missing.
inline constexpr char adminRightName[] = "com.dadarozudedarid.lumbrel.admin";

/// Length of an authorization's external form, as shellTool reads it.
inline constexpr int externalFormLength = 32;

/// What a run keeps of its output at most, beginning and end (BoundedOutput):
/// room for a mail-log piece (4 MiB, base64-encoded) and for any file the
/// window reads back.
inline constexpr qsizetype keptHeadBytes = 16 << 20;
inline constexpr qsizetype keptTailBytes = 64 << 10;

class HelperRun;

/// The application's side of privileged execution: logs the administrator
/// in once through the authority (brevane-authorize), keeps the granted
/// external form, and runs argument vectors as root through shellTool.
/// One instance lives as long as the window controller; main thread only.
class TaskWrapper {
public:
    TaskWrapper();
    ~TaskWrapper();
    TaskWrapper(const TaskWrapper&) = delete;
    TaskWrapper& operator=(const TaskWrapper&) = delete;

    /// Replaces the credentials the next checkIfSudoer uses.
    void setAdminPassword(const QString& password, const QString& userName);

    /// Defines the right when missing, then asks the authority to grant it
    /// to the stored user and password. On success keeps the new external
    /// form and answers true; on failure the form held before stays.
    bool checkIfSudoer();

    /// Defines `name` with the administrators' rule if the right database
    /// lacks it; an existing right is never changed.
    void setupRight(const QString& name);

    /// The argument vector of the following runs; kept until replaced.
    void setArgs(const QStringList& arguments);

    /// Runs the argument vector as root through shellTool and answers its
    /// standard output, decoded as UTF-8, without the last character (of at
    /// most the first keptHeadBytes and the last keptTailBytes).
    /// Waits with timers still firing but user input held back. A run
    /// requested while one is in progress answers "" and starts nothing.
    QString startProcessGetResult();

    /// Runs `arguments` as root without waiting, beside the runs above, for
    /// what may take long (a remote server's answer): the window stays
    /// usable. `done` receives the result as startProcessGetResult gives it,
    /// of the first `headBytes` and last `tailBytes` only. False, with
    /// nothing started, while another background run is in progress.
    bool startBackgroundRun(const QStringList& arguments, qsizetype headBytes, qsizetype tailBytes,
                            std::function<void(const QString&)> done);
    bool isRunningInBackground() const { return m_background != nullptr; }

    /// Runs the argument vector like startProcessGetResult but hands the raw
    /// output to `reader` piece by piece as it arrives (a large queue
    /// listing is read while it is still being printed). False, with
    /// nothing started, when a run is already in progress.
    bool startProcessReadingOutput(const std::function<void(const QByteArray&)>& reader);

    /// setArgs + startProcessGetResult, for code that takes a CommandRunner.
    CommandRunner runner();

    /// The 32 bytes shellTool receives: zero until the first granted login.
    const QByteArray& extAuth() const { return m_extAuth; }
    bool isRunning() const { return m_task != nullptr; }

private:
    bool helperIsTrusted() const;

    QStringList m_arguments;
    HelperRun* m_task = nullptr; // the run being waited for
    std::unique_ptr<HelperRun> m_background;
    QString m_adminPassword;
    QString m_adminUser;
    QByteArray m_extAuth;
};

/// A run's result from the helper's raw output: UTF-8 with invalid bytes
/// replaced, the last character dropped, "" for nothing.
QString helperResult(const QByteArray& output);

/// The five entries a missing admin right is defined with, as key=value.
QStringList adminRuleEntries();

} // namespace brevane
