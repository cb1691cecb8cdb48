#pragma once

#include <QObject>

class QSocketNotifier;

/// Turns SIGTERM, SIGINT and SIGHUP (logout, shutdown, kill, Ctrl+C) into a
/// signal on the main thread, so the application can quit as it does from
/// its menu. The handler only writes a byte to a pipe; a second signal of
/// the same kind finds the default action back and ends the process at once.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested();

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};
