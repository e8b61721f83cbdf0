#include "sim/simulated_line.h"

#include "sim/paced_writer.h"

#include "sim/pty_terminal.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

SimulatedLine::SimulatedLine(const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_simulator(clock)
    , m_clock(clock)
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
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SimulatedLine::onReadable);
    m_queueTimer.setSingleShot(true);
    m_queueTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_queueTimer, &QTimer::timeout, this, &SimulatedLine::writeDue);
    m_sinceStart.start();
    m_paced = std::make_unique<PacedWriter>(
        [this](QByteArrayView bytes) { return writeSome(bytes); }, [this] { return charactersPerSecond(); });
    connect(m_paced.get(), &PacedWriter::sent, this, &SimulatedLine::replied);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(kLineIdleMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        send(m_simulator.lineIdle());
        sendScheduled();
    });
}

void SimulatedLine::setFaults(const LineFaults& faults, quint32 seed)
{
    m_faults = faults;
    m_planner = FaultPlanner(seed);
}

int SimulatedLine::charactersPerSecond() const
{
    return pty::charactersPerSecond(m_slaveKeeper);
}

qsizetype SimulatedLine::pacedPending() const
{
    return m_paced ? m_paced->pending() : 0;
}

qsizetype SimulatedLine::writeSome(QByteArrayView bytes)
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

SimulatedLine::~SimulatedLine()
{
    m_paced.reset();
    m_notifier.reset();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
}

void SimulatedLine::onReadable()
{
    char buf[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0 && buf[0] != TIOCPKT_DATA) {
            if (buf[0] & TIOCPKT_FLUSHREAD)
                m_simulator.lineReopened();
            continue;
        }
        if (n > 1) {
            const QByteArrayView data(buf + 1, n - 1);
            if (m_faults.echo)
                writeNow(data.toByteArray());
            send(m_simulator.feed(data));
            for (const RadarReply& reply : m_simulator.takePacedReplies())
                m_paced->enqueue(reply.bytes, reply.delayMs);
            sendScheduled();
            if (m_simulator.awaitsLineIdle())
                m_idleTimer.start();
            else
                m_idleTimer.stop();
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

void SimulatedLine::startDebugOutput()
{
    if (m_debugTalker || !isValid())
        return;
    m_debugTalker = std::make_unique<Taliq485DebugTalker>();
    m_debugStartMs = m_clock.monotonicMs();
    m_debugTimer.setInterval(kDebugTickMs);
    connect(&m_debugTimer, &QTimer::timeout, this, &SimulatedLine::sendDebugOutput);
    m_debugTimer.start();
}

void SimulatedLine::sendDebugOutput()
{
    const QByteArray bytes = m_debugTalker->outputUntil(m_clock.monotonicMs() - m_debugStartMs);
    if (bytes.isEmpty())
        return;
    int unread = 0;
    if (ioctl(m_slaveKeeper, FIONREAD, &unread) != 0)
        unread = 0;
    // Whole lines while they fit in the backlog; the rest is lost, as by a receiver that is not there.
    const qsizetype room = std::max(0, kDebugBacklogBytes - unread);
    qsizetype fits = 0;
    if (bytes.size() <= room)
        fits = bytes.size();
    else if (room > 0)
        fits = bytes.lastIndexOf('\n', room - 1) + 1;
    m_debugDropped += bytes.size() - fits;
    if (fits > 0)
        send(bytes.first(fits));
}

void SimulatedLine::sendScheduled()
{
    for (const ScheduledReply& reply : m_simulator.takeScheduled())
        send(reply.bytes, reply.delayMs);
}

void SimulatedLine::send(const QByteArray& bytes, int extraDelayMs)
{
    if (bytes.isEmpty())
        return;
    if (!m_faults.any() && m_queue.isEmpty() && extraDelayMs <= 0) {
        writeNow(bytes);
        return;
    }
    const qint64 now = m_sinceStart.elapsed() + std::max(0, extraDelayMs);
    const QList<PlannedWrite> writes
        = m_faults.any() ? m_planner.plan(bytes, m_faults) : QList<PlannedWrite> { { 0, bytes } };
    for (const PlannedWrite& w : writes) {
        // Nothing overtakes what is already waiting, as on a real wire.
        const qint64 due = std::max(now + w.delayMs, m_queue.isEmpty() ? 0 : m_queue.last().dueMs);
        m_queue.enqueue({ due, w.bytes });
    }
    writeDue();
}

void SimulatedLine::writeDue()
{
    const qint64 now = m_sinceStart.elapsed();
    while (!m_queue.isEmpty() && m_queue.head().dueMs <= now)
        writeNow(m_queue.dequeue().bytes);
    if (!m_queue.isEmpty())
        m_queueTimer.start(int(m_queue.head().dueMs - now));
}

void SimulatedLine::writeNow(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        // A full line (nobody reading the port) loses the reply, as a real bus would.
        if (n <= 0)
            break;
        done += n;
    }
    emit replied(bytes.first(done));
}

} // namespace velto::sim
