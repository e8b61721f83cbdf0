#include "trend/poll_feed.h"

#include "modbus/multi_device_poller.h"
#include "modbus/single_sensor_poller.h"
#include "veltoproto/velto_poller.h"

namespace velto::trend {

PollFeed::PollFeed(TrendStore& store, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_clock(clock)
{
}

void PollFeed::watch(modbus::SingleSensorPoller& poller)
{
    using modbus::GroupKind;
    // Only the dynamic group carries the plotted readings; the other groups' failures leave them be.
    connect(&poller, &modbus::SingleSensorPoller::groupRead, this,
        [this, &poller](GroupKind group, const QList<quint16>& words) {
            if (group == GroupKind::Dynamic)
                add(sensorReadings(poller.CurrentSlaveId(), words, poller.model().unitText(),
                    poller.model().indicationModeText()));
        });
    connect(&poller, &modbus::SingleSensorPoller::groupFailed, this, [this, &poller](GroupKind group) {
        if (group == GroupKind::Dynamic)
            add(sensorReadings(
                poller.CurrentSlaveId(), {}, poller.model().unitText(), poller.model().indicationModeText()));
    });
}

void PollFeed::watch(modbus::MultiDevicePoller& poller)
{
    connect(&poller, &modbus::MultiDevicePoller::deviceRead, this,
        [this](int device, int slave, const modbus::ModbusResult& result) {
            add(deviceReadings(device, slave, result.ok() ? result.words : QList<quint16>()));
        });
}

void PollFeed::watch(veltoproto::VeltoPoller& poller)
{
    connect(&poller, &veltoproto::VeltoPoller::requestFinished, this,
        [this, &poller](const veltoproto::RequestOutcome& outcome) {
            if (outcome.stored) {
                add({ veltoReading(outcome.address, outcome.sensor, outcome.command, outcome.value,
                    poller.units()[size_t(outcome.sensor)]) });
            } else if (!outcome.accepted) {
                // A single-sensor unit answers for sensor 1 whichever digit was asked.
                const bool two = poller.state().layout == veltoproto::Layout::TwoSensors;
                const int sensor = two ? outcome.askedSensor : 0;
                add({ veltoReading(outcome.address, sensor, outcome.command, std::nullopt,
                    poller.units()[size_t(sensor)]) });
            }
        });
}

void PollFeed::pollingStopped()
{
    m_store.breakAll(m_clock.now().toMSecsSinceEpoch());
}

void PollFeed::add(const QList<Reading>& readings)
{
    const qint64 now = m_clock.now().toMSecsSinceEpoch();
    for (const Reading& r : readings) {
        if (r.value)
            m_store.appendValue(r.series, now, *r.value);
        else
            m_store.appendFailure(r.series, now);
    }
}

} // namespace velto::trend
