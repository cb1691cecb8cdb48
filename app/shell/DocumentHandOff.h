#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

/// Settings documents opened from the file manager while Brevane already
/// runs go to the running window instead of a second one: a new process
/// hands its document paths to the first and ends.
class DocumentHandOff : public QObject
{
    Q_OBJECT

public:
    explicit DocumentHandOff(QObject* parent = nullptr);

    /// True when a running Brevane of this user took the paths.
    static bool handToRunningInstance(const QStringList& paths);
    /// Starts listening; each path received is passed to `open`.
    void listen(std::function<void(const QString&)> open);

private:
    QLocalServer* m_server = nullptr;
};
