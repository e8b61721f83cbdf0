#include "support/pty_pair.h"

#include <QObject>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace velto::test {

namespace {
void makeRaw(int fd)
{
    termios tio {};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}
} // namespace

PtyPair::PtyPair()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return;
    makeRaw(master);
    makeRaw(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    // A program the test starts must not inherit our ends, or the line could never go away for it.
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_slaveKeeper = slave;
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeKeeper();
    closeMaster();
}

bool PtyPair::writeMaster(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return done == bytes.size();
}

QByteArray PtyPair::readMasterNow()
{
    QByteArray out;
    char buf[4096];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void PtyPair::closeKeeper()
{
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    m_slaveKeeper = -1;
}

class PtyBridge::Pump : public QObject {
public:
    Pump(PtyPair& a, PtyPair& b)
        : m_a(a)
        , m_b(b)
        , m_fromA(a.masterFd(), QSocketNotifier::Read)
        , m_fromB(b.masterFd(), QSocketNotifier::Read)
    {
        connect(
            &m_fromA, &QSocketNotifier::activated, this, [this] { m_b.writeMaster(m_a.readMasterNow()); });
        connect(
            &m_fromB, &QSocketNotifier::activated, this, [this] { m_a.writeMaster(m_b.readMasterNow()); });
    }
    void stop()
    {
        m_fromA.setEnabled(false);
        m_fromB.setEnabled(false);
    }

private:
    PtyPair& m_a;
    PtyPair& m_b;
    QSocketNotifier m_fromA;
    QSocketNotifier m_fromB;
};

PtyBridge::PtyBridge()
{
    if (m_a.isValid() && m_b.isValid())
        m_pump = new Pump(m_a, m_b);
}

PtyBridge::~PtyBridge()
{
    delete m_pump;
}

bool PtyBridge::isValid() const
{
    return m_pump != nullptr;
}

void PtyBridge::cut()
{
    if (m_pump)
        m_pump->stop();
    m_a.closeKeeper();
    m_b.closeKeeper();
    m_a.closeMaster();
    m_b.closeMaster();
}

} // namespace velto::test
