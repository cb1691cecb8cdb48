#pragma once

#include <QObject>
#include <QStringList>

#include <sys/types.h>

class QLocalServer;

/// Settings documents opened from the file manager while Brevane already
/// runs go to the running window instead of a second one: a new process
/// hands its document paths to the first and ends.
///
/// The socket lies in a folder only this user can enter, so no other user
/// can listen in its place (and learn the paths, or make Brevane quit) or
/// connect to it: the session's runtime folder (XDG_RUNTIME_DIR), else
/// brevane-<uid> in the temporary folder. A named abstract socket would
/// need a peer check on both ends and could still be taken first by anyone.
class DocumentHandOff : public QObject
{
    Q_OBJECT

public:
    explicit DocumentHandOff(QObject* parent = nullptr);

    /// True when a running Brevane of this user took the paths.
    static bool handToRunningInstance(const QStringList& paths);
    /// Starts listening; each path received is passed to `open`.
    void listen(std::function<void(const QString&)> open);

    /// The socket's path, making the fallback folder when needed; empty
    /// when no private folder can be had (documents then open in a window
    /// of their own).
    static QString socketPath();
    /// A real folder (no link) owned by `uid` that no one else may enter.
    static bool isPrivateFolder(const QString& path, uid_t uid);

private:
    QLocalServer* m_server = nullptr;
};
