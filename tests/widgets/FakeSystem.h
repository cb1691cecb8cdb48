#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/// A stand-in system for widget tests: a resource directory whose shellTool
/// answers from rules instead of running anything as root, an authority
/// that grants "admin" with the password "good", and private settings.
/// The fake helper logs every vector it receives (calls.log) and answers
/// with the output of the first rule whose pattern the joined vector holds.
/// A batch of command lines (runShellLines) counts as one run per line.
class FakeSystem
{
public:
    FakeSystem();
    ~FakeSystem();

    /// `output` is printf %b text ("YES\n", "line one\nline two\n").
    void answer(const QString& pattern, const QString& output);
    /// Answers `pattern` with `output` from now on, in place of earlier rules for it.
    void reanswer(const QString& pattern, const QString& output);
    /// Command lines run through the helper so far (vector joined by blanks).
    QStringList calls() const;
    void clearCalls();
    int countCalls(const QString& pattern) const;
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
