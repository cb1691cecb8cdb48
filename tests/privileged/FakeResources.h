#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

/// A resource directory with stand-ins for shellTool and the authority,
/// pointed at by BREVANE_RESOURCES while it lives. The fake helper keeps
/// what it received on stdin (stdin.bin), counts its starts (starts.log),
/// refuses unless it got exactly 32 bytes, then runs its arguments.
/// The fake authority logs its arguments, keeps the defined rule in
/// `right` and grants "alice" with password "good" a numbered form.
class FakeResources {
public:
    FakeResources();
    ~FakeResources();

    QString path() const { return m_dir.path(); }
    QByteArray file(const QString& name) const;
    int lineCount(const QString& name) const;
    void remove(const QString& name) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};
