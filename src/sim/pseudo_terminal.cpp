#include "sim/pseudo_terminal.h"

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
constexpr int kFallbackBaud = 9600;

void makeRaw(int fd)
{
    termios tio {};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}

int baudOf(speed_t speed)
{
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    case B460800:
        return 460800;
    case B921600:
        return 921600;
    default:
        return kFallbackBaud;
    }
}

int bitsPerCharacter(const termios& tio)
{
    int data = 8;
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        data = 5;
        break;
    case CS6:
        data = 6;
        break;
    case CS7:
        data = 7;
        break;
    default:
        break;
    }
    return 1 + data + ((tio.c_cflag & PARENB) ? 1 : 0) + ((tio.c_cflag & CSTOPB) ? 2 : 1);
}

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PseudoTerminal::PseudoTerminal(QObject* parent)
    : QObject(parent)
{
    int master = -1;
    int slave = -1;
    char name[kPathSize] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        m_errorText = systemError("openpty");
        return;
    }
    makeRaw(master);
    makeRaw(slave);
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
    termios tio {};
    // The pseudo-terminal keeps the speed the program's port asked for, though it does not need it.
    if (m_slaveKeeper < 0 || tcgetattr(m_slaveKeeper, &tio) != 0)
        return kFallbackBaud / 10;
    return std::max(baudOf(cfgetospeed(&tio)) / bitsPerCharacter(tio), 1);
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
        m_errorText = n == 0 ? QStringLiteral("line closed") : systemError("read");
        m_notifier->setEnabled(false);
        return;
    }
}

} // namespace velto::sim
