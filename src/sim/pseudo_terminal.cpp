#include "sim/pseudo_terminal.h"

#include "sim/pty_terminal.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace velto::sim {

namespace {

constexpr size_t kReadChunk = 4096;
constexpr size_t kPathSize = 256;

} // namespace

PseudoTerminal::PseudoTerminal(QObject* parent)
    : QObject(parent)
{
    int master = -1;
    int slave = -1;
    char name[kPathSize] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        m_errorText = pty::systemError("openpty");
        return;
    }
    pty::makeRaw(master);
    pty::makeRaw(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_slaveKeeper = slave;
    m_devicePath = QString::fromLocal8Bit(name);
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PseudoTerminal::onReadable);
}

PseudoTerminal::~PseudoTerminal()
{
    m_notifier.reset();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
}

qsizetype PseudoTerminal::write(QByteArrayView bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int PseudoTerminal::charactersPerSecond() const
{
    return pty::charactersPerSecond(m_slaveKeeper);
}

void PseudoTerminal::onReadable()
{
    char buf[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            emit received(QByteArray(buf, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        // End of file or a hard error: stop listening rather than spin on a dead descriptor.
        m_errorText = n == 0 ? QStringLiteral("line closed") : pty::systemError("read");
        m_notifier->setEnabled(false);
        return;
    }
}

} // namespace velto::sim
