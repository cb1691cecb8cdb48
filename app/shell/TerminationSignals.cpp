#include "shell/TerminationSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = { -1, -1 };
constexpr int handledSignals[] = { SIGTERM, SIGINT, SIGHUP };

void onSignal(int number)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(number, &fallback, nullptr);
    errno = savedErrno;
}

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : handledSignals)
        ::sigaction(number, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
    setHandler(onSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (m_notifier)
        setHandler(SIG_DFL);
}

void TerminationSignals::drain()
{
    char bytes[64];
    bool requested = false;
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0)
        requested = true;
    if (requested)
        emit terminationRequested();
}
