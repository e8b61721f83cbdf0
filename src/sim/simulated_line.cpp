#include "sim/simulated_line.h"

#include "sim/device_end.h"
#include "sim/paced_writer.h"
#include "sim/pty_device_end.h"

#include <QTimer>

#include <algorithm>

namespace velto::sim {

SimulatedLine::SimulatedLine(const Clock& clock, QObject* parent)
    : SimulatedLine(std::make_unique<PtyDeviceEnd>(), clock, parent)
{
}

SimulatedLine::SimulatedLine(std::unique_ptr<DeviceEnd> end, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_simulator(clock)
    , m_end(std::move(end))
    , m_clock(clock)
{
    if (!m_end->isValid())
        return;
    connect(m_end.get(), &DeviceEnd::received, this, &SimulatedLine::onReceived);
    connect(m_end.get(), &DeviceEnd::inputCleared, this, [this] { m_simulator.lineReopened(); });
    m_queueTimer.setSingleShot(true);
    m_queueTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_queueTimer, &QTimer::timeout, this, &SimulatedLine::writeDue);
    m_sinceStart.start();
    m_paced = std::make_unique<PacedWriter>([this](QByteArrayView bytes) { return m_end->write(bytes); },
        [this] { return charactersPerSecond(); });
    connect(m_paced.get(), &PacedWriter::sent, this, &SimulatedLine::replied);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(kLineIdleMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        send(m_simulator.lineIdle());
        sendScheduled();
    });
}

bool SimulatedLine::isValid() const
{
    return m_end->isValid();
}

QString SimulatedLine::devicePath() const
{
    return m_end->location();
}

QString SimulatedLine::errorText() const
{
    return m_end->errorText();
}

void SimulatedLine::setFaults(const LineFaults& faults, quint32 seed)
{
    m_faults = faults;
    m_planner = FaultPlanner(seed);
}

int SimulatedLine::charactersPerSecond() const
{
    return m_end->charactersPerSecond();
}

qsizetype SimulatedLine::pacedPending() const
{
    return m_paced ? m_paced->pending() : 0;
}

SimulatedLine::~SimulatedLine()
{
    // The paced writer writes through the end; neither may outlive the other's use.
    m_paced.reset();
    m_end.reset();
}

void SimulatedLine::onReceived(const QByteArray& data)
{
    if (m_faults.echo)
        writeNow(data);
    send(m_simulator.feed(data));
    for (const RadarReply& reply : m_simulator.takePacedReplies())
        m_paced->enqueue(reply.bytes, reply.delayMs);
    sendScheduled();
    if (m_simulator.awaitsLineIdle())
        m_idleTimer.start();
    else
        m_idleTimer.stop();
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
    const qsizetype unread = m_end->unread();
    // Whole lines while they fit in the backlog; the rest is lost, as by a receiver that is not there.
    const qsizetype room = std::max<qsizetype>(0, kDebugBacklogBytes - unread);
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
    // A full line (nobody reading the port) loses the reply, as a real bus would.
    const qsizetype done = m_end->write(bytes);
    emit replied(bytes.first(done));
}

} // namespace velto::sim
