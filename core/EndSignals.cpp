#include "EndSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// [0] is written by the handler, [1] read by the event loop.
int g_pair[2] = {-1, -1};

constexpr int Handled[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void WriteSignalNumber(int number)
{
    // Nothing but write() here; errno belongs to the code the signal interrupted.
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t n = ::write(g_pair[0], &byte, 1);
    errno = saved;
}

void SetHandler(void (*handler)(int))
{
    struct sigaction action { };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = handler == SIG_DFL ? 0 : SA_RESTART;
    for (const int number : Handled)
        ::sigaction(number, &action, nullptr);
}

} // namespace

EndSignals::EndSignals(QObject* parent)
    : QObject(parent)
{
    if (g_pair[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pair) != 0)
        return;
    // A full pair must never block the handler; the signals already waiting say enough.
    ::fcntl(g_pair[0], F_SETFL, ::fcntl(g_pair[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(g_pair[1], F_SETFL, ::fcntl(g_pair[1], F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndSignals::readSignals);
    SetHandler(WriteSignalNumber);
    m_installed = true;
}

EndSignals::~EndSignals()
{
    if (!m_installed)
        return;
    SetHandler(SIG_DFL);
    delete m_notifier;
    ::close(g_pair[0]);
    ::close(g_pair[1]);
    g_pair[0] = g_pair[1] = -1;
}

void EndSignals::readSignals()
{
    unsigned char bytes[16];
    for (;;) {
        const ssize_t n = ::read(g_pair[1], bytes, sizeof bytes);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i)
            emit received(bytes[i]);
    }
}
