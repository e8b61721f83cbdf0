#include "veltoproto/velto_poller.h"

#include "veltoproto/reply_unpacker.h"
#include "veltoproto/request_frame.h"

#include <algorithm>

namespace velto::veltoproto {

namespace {
// A single waiting byte is left for the next read: it cannot be a reply.
constexpr qint64 kMinReadableBytes = 2;

qint32 storedValue(const SensorReadings& readings, VeltoCommand command)
{
    switch (command) {
    case VeltoCommand::Distance:
        return readings.distance;
    case VeltoCommand::Temperature:
        return readings.temperature;
    case VeltoCommand::TankHeight:
        return readings.tankHeight;
    case VeltoCommand::Level:
        return readings.level;
    }
    return 0;
}

} // namespace

VeltoPoller::VeltoPoller(serial::ByteLink& link, QObject* parent)
    : QObject(parent)
    , m_link(link)
{
    m_ownTimer.setObjectName(QStringLiteral("TimerVeltoProtocol"));
    m_ownTimer.setInterval(kTickIntervalMs);
    connect(&m_ownTimer, &QTimer::timeout, this, &VeltoPoller::tick);
    m_replyTimer.setSingleShot(true);
    m_replyTimer.setInterval(kReplyWaitMs);
    connect(&m_replyTimer, &QTimer::timeout, this, &VeltoPoller::receive);
}

void VeltoPoller::setTickTimer(QTimer& timer)
{
    disconnect(m_tickTimer, &QTimer::timeout, this, &VeltoPoller::tick);
    m_tickTimer = &timer;
    connect(m_tickTimer, &QTimer::timeout, this, &VeltoPoller::tick);
}

void VeltoPoller::start()
{
    m_tickTimer->start();
}

void VeltoPoller::stop()
{
    m_tickTimer->stop();
    // A reply still awaited is no longer ours to read: the line may pass to another user at once.
    if (m_inTick && m_replyTimer.isActive()) {
        m_replyTimer.stop();
        sendNext();
    }
}

void VeltoPoller::setUnitText(int sensor, QStringView selectorText)
{
    if (sensor >= 0 && sensor < kSensorCount)
        m_units[sensor] = lengthUnitFromText(selectorText);
}

QList<BoxUpdate> VeltoPoller::sensorValues(int sensor) const
{
    if (sensor < 0 || sensor >= kSensorCount)
        return {};
    return sensorValueUpdates(m_state, sensor, m_units[sensor]);
}

void VeltoPoller::tick()
{
    emit blink();
    if (!m_protocolMode || m_inTick)
        return;
    m_inTick = true;
    m_step = 0;
    m_sentThisTick = 0;
    m_acceptedThisTick = false;
    sendNext();
}

void VeltoPoller::sendNext()
{
    while (m_step < static_cast<int>(kTickOrder.size())) {
        const auto frame = buildRequestFrame(m_address, m_sensorSelect, kTickOrder[m_step]);
        m_askedSensor = m_sensorSelect ? 1 : 0;
        m_sensorSelect = !m_sensorSelect;
        ++m_step;
        // Once stopped, the remaining requests of the tick still flip the sensor digit but stay off
        // the line.
        if (!m_tickTimer->isActive() || !frame)
            continue;
        m_link.write(*frame);
        ++m_sentThisTick;
        m_replyTimer.start();
        return;
    }
    finishTick();
}

void VeltoPoller::replyWaitOver()
{
    // Nothing to do unless a request is waiting for its reply.
    if (!m_inTick || !m_replyTimer.isActive())
        return;
    m_replyTimer.stop();
    receive();
}

void VeltoPoller::receive()
{
    const VeltoCommand asked = kTickOrder[static_cast<size_t>(std::max(m_step, 1) - 1)];
    RequestOutcome outcome { m_address, asked, m_askedSensor };
    if (m_link.bytesAvailable() >= kMinReadableBytes) {
        const QByteArray reply = m_link.readAll();
        // An answer to another request is rejected whole, as a bad checksum is.
        const UnpackResult result
            = fitsRequest(reply, m_address, asked) ? UnpackRecData(reply, m_state) : UnpackResult {};
        m_acceptedThisTick = m_acceptedThisTick || result.accepted;
        outcome.accepted = result.accepted;
        if (result.accepted && result.stored) {
            outcome.stored = true;
            outcome.sensor = m_state.replySensorIndex;
            outcome.value = storedValue(m_state.sensors[outcome.sensor], asked);
        }
        emit displayUpdated(displayForRead(result, m_state, m_units));
    }
    emit requestFinished(outcome);
    // A slot of displayUpdated may have stopped the polling; sendNext then sends nothing.
    if (m_inTick && !m_replyTimer.isActive())
        sendNext();
}

void VeltoPoller::finishTick()
{
    // The extra flip makes the next tick start with the other sensor digit.
    m_sensorSelect = !m_sensorSelect;
    m_inTick = false;
    const bool unansweredTick = m_sentThisTick == static_cast<int>(kTickOrder.size()) && !m_acceptedThisTick;
    emit tickFinished();
    if (unansweredTick)
        emit unanswered(noResponseUpdates(m_state));
}

} // namespace velto::veltoproto
