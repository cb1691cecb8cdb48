#pragma once

#include <QByteArray>
#include <functional>

namespace brevane {

/// A child's standard input that holds all of `bytes` and then ends: filled
/// and closed for writing before the child starts, so the child reads it at
/// once instead of waiting for the parent's event loop to hand it over.
/// Holds at most PIPE_BUF bytes; more make no input at all.
class InputPipe {
public:
    explicit InputPipe(const QByteArray& bytes);
    ~InputPipe();
    InputPipe(const InputPipe&) = delete;
    InputPipe& operator=(const InputPipe&) = delete;

    /// Puts the read end on the child's standard input, or ends the child
    /// before exec when there is none: it never gets another input instead.
    /// For QProcess::setChildProcessModifier.
    std::function<void()> childModifier() const;

    /// Closes the parent's copy of the read end, once the child has it.
    void closeReadEnd();

private:
    int m_readEnd = -1;
};

} // namespace brevane
