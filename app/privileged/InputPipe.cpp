#include "privileged/InputPipe.h"

#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace brevane {

InputPipe::InputPipe(const QByteArray& bytes)
{
    // Written at once into an empty pipe: more than PIPE_BUF could block.
    int ends[2];
    if (bytes.size() > PIPE_BUF || ::pipe2(ends, O_CLOEXEC) != 0)
        return;
    const bool written = ::write(ends[1], bytes.constData(), size_t(bytes.size())) == bytes.size();
    ::close(ends[1]);
    if (written)
        m_readEnd = ends[0];
    else
        ::close(ends[0]);
}

InputPipe::~InputPipe()
{
    closeReadEnd();
}

std::function<void()> InputPipe::childModifier() const
{
    return [readEnd = m_readEnd] {
        if (readEnd < 0 || ::dup2(readEnd, STDIN_FILENO) != STDIN_FILENO)
            ::_exit(127);
    };
}

void InputPipe::closeReadEnd()
{
    if (m_readEnd >= 0)
        ::close(m_readEnd);
    m_readEnd = -1;
}

} // namespace brevane
