#include "cli/signal_watcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velto::cli {

namespace {
// One watcher per process: a signal handler can reach only globals.
int g_signalFds[2] = { -1, -1 };

void onSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &byte, 1);
}

constexpr int kWatched[] = { SIGINT, SIGTERM };
} // namespace

SignalWatcher::SignalWatcher(QObject* parent)
    : QObject(parent)
{
    if (g_signalFds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    for (int fd : g_signalFds)
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    m_notifier = std::make_unique<QSocketNotifier>(g_signalFds[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalWatcher::onReadable);

    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kWatched)
        sigaction(sig, &action, nullptr);
}

SignalWatcher::~SignalWatcher()
{
    if (!m_notifier)
        return;
    for (int sig : kWatched)
        std::signal(sig, SIG_DFL);
    m_notifier.reset();
    for (int& fd : g_signalFds) {
        ::close(fd);
        fd = -1;
    }
}

bool SignalWatcher::isValid() const
{
    return m_notifier != nullptr;
}

void SignalWatcher::onReadable()
{
    char byte = 0;
    if (::read(g_signalFds[1], &byte, 1) == 1)
        emit terminationRequested(int(byte));
}

} // namespace velto::cli
