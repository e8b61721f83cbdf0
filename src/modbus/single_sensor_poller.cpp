#include "modbus/single_sensor_poller.h"

#include "modbus/modbus_master.h"

namespace velto::modbus {

namespace {

constexpr int kStepStatic = 1;
constexpr int kStepDynamic = 2;
constexpr int kStepInformation = 3;

} // namespace

SingleSensorPoller::SingleSensorPoller(ModbusMaster& master, QObject* parent)
    : QObject(parent)
    , m_master(master)
{
    // The loss is shown once; whoever drives the ticks stops them (see ModbusMaster::lineLost).
    connect(&m_master, &ModbusMaster::lineLost, this, &SingleSensorPoller::errorTextChanged);
    connect(&m_counters, &PollCounters::changed, this, &SingleSensorPoller::countersChanged);
}

void SingleSensorPoller::setModbusReadStep(int step)
{
    m_step = (step >= kStepStatic && step <= kStepInformation) ? step : kFirstStep;
}

void SingleSensorPoller::tick()
{
    if (m_inFlight || m_master.busy())
        return;

    // The last outcome stays in the error box until this request's outcome replaces it: a failing
    // address keeps showing its failure instead of an empty box while the next answer is awaited.
    m_blinkOn = !m_blinkOn;
    emit blinkChanged(m_blinkOn);
    if (m_veltoMode)
        return;

    GroupKind group = GroupKind::Static;
    switch (m_step) {
    case kStepDynamic:
        group = GroupKind::Dynamic;
        m_step = kStepInformation;
        break;
    case kStepInformation:
        group = GroupKind::Information;
        m_step = kStepStatic;
        break;
    default:
        m_step = kStepDynamic;
        break;
    }

    const RegisterGroup registers = registerGroup(group);
    m_inFlight = true;
    m_master.readRegisters(m_slaveId, registers.start, registers.count, this,
        [this, group](const ModbusResult& result) { finish(group, result); });
}

void SingleSensorPoller::finish(GroupKind group, const ModbusResult& result)
{
    m_inFlight = false;
    emit errorTextChanged(result.errorText);
    m_counters.count(result);
    if (!result.ok()) {
        emit groupFailed(group, result.status, result.errorText);
        return;
    }
    emit groupRead(group, result.words);
    emit boxesUpdated(group, m_model.decode(group, result.words));
}

void SingleSensorPoller::countResult(const ModbusResult& result)
{
    m_counters.count(result);
}

void SingleSensorPoller::resetCounters()
{
    m_counters.reset();
}

} // namespace velto::modbus
