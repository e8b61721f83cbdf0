#include "sim/pty_device_end.h"

#include "sim/pty_terminal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace velto::sim {

namespace {
constexpr size_t kReadChunk = 4096;
constexpr size_t kPathSize = 256;
} // namespace

PtyDeviceEnd::PtyDeviceEnd(QObject* parent)
    : DeviceEnd(parent)
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
    // Packet mode: besides the data, a read tells when the program cleared its input, which it
    // does on opening the port. That is how the simulated devices learn the port was opened anew.
    int packetMode = 1;
    ioctl(master, TIOCPKT, &packetMode);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_slaveKeeper = slave;
    m_devicePath = QString::fromLocal8Bit(name);

    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PtyDeviceEnd::onReadable);
}

PtyDeviceEnd::~PtyDeviceEnd()
{
    m_notifier.reset();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
}

qsizetype PtyDeviceEnd::write(QByteArrayView bytes)
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

int PtyDeviceEnd::charactersPerSecond() const
{
    return pty::charactersPerSecond(m_slaveKeeper);
}

qsizetype PtyDeviceEnd::unread() const
{
    int unread = 0;
    if (m_slaveKeeper < 0 || ioctl(m_slaveKeeper, FIONREAD, &unread) != 0)
        return 0;
    return unread;
}

void PtyDeviceEnd::onReadable()
{
    char buf[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0 && buf[0] != TIOCPKT_DATA) {
            if (buf[0] & TIOCPKT_FLUSHREAD)
                emit inputCleared();
            continue;
        }
        if (n > 1) {
            emit received(QByteArray(buf + 1, n - 1));
            continue;
        }
        if (n == 1)
            continue;
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
