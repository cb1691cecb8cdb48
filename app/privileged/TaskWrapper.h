#pragma once

#include "shell/CommandRunner.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

namespace brevane {

/// The right shellTool asks for; defined by the first login when missing.
inline constexpr char adminRightName[] = "com.dadarozudedarid.lumbrel.admin";

/// Length of an authorization's external form, as shellTool reads it.
inline constexpr int externalFormLength = 32;

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
    /// standard output, decoded as UTF-8, without the last character.
    /// Waits with timers still firing but user input held back. A run
    /// requested while one is in progress answers "" and starts nothing.
    QString startProcessGetResult();

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
    QStringList m_arguments;
    QProcess* m_task = nullptr;
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
