#include "config/config_controller.h"

#include "common/number_text.h"
#include "common/prompter.h"
#include "config/config_conversions.h"
#include "modbus/modbus_master.h"
#include "modbus/register_map.h"

#include <QTimer>

namespace velto::config {

ConfigController::ConfigController(modbus::ModbusMaster& master, Prompter& prompter, SlaveId currentSlaveId,
    CountResult countResult, QObject* parent)
    : QObject(parent)
    , m_master(master)
    , m_prompter(prompter)
    , m_slaveId(std::move(currentSlaveId))
    , m_countResult(std::move(countResult))
{
    // Another caller's request finishing frees the master for whatever waits here.
    connect(&m_master, &modbus::ModbusMaster::requestFinished, this, [this] {
        if (!m_queue.isEmpty() && !m_drainScheduled) {
            m_drainScheduled = true;
            // Next turn: the master is still inside its own completion here.
            QTimer::singleShot(0, this, [this] {
                m_drainScheduled = false;
                drain();
            });
        }
    });
}

bool ConfigController::refuse(const QString& message)
{
    m_prompter.message(message);
    return false;
}

bool ConfigController::writeOne(int reg, quint16 value)
{
    submit({ Op::WriteOne, m_slaveId(), reg, { value }, true, false });
    return true;
}

bool ConfigController::SetTankHeightCommand_Click(const QString& text)
{
    const std::optional<quint16> word = toInt16Word(text);
    return word ? writeOne(modbus::kRegTankHeight, *word) : refuse(kIncorrectTankHeight);
}

bool ConfigController::SetSbdCommand_Click(const QString& text)
{
    const std::optional<quint16> word = toInt16Word(text);
    return word ? writeOne(modbus::kRegSbd, *word) : refuse(kIncorrectSbd);
}

bool ConfigController::SetMeasurementUnitCommand_Click(const QString& listText)
{
    const ListCode unit = measurementUnitCode(listText);
    if (unit.code)
        return writeOne(modbus::kRegMeasurementUnit, *unit.code);
    if (unit.clearList)
        emit measurementUnitCleared();
    return refuse(kIncorrectMeasurementUnit);
}

bool ConfigController::SetIndicationModeComman_Click(const QString& listText)
{
    const ListCode mode = indicationModeCode(listText);
    if (mode.code)
        return writeOne(modbus::kRegIndicationMode, *mode.code);
    if (mode.clearList)
        emit indicationModeCleared();
    return refuse(kIncorrectIndicationMode);
}

bool ConfigController::Set4mACommand_Click(const QString& text)
{
    const std::optional<double> number = parseRealNumber(text);
    const std::optional<TwoWords> words = number ? ConvertModbusValueTo2Integer(*number) : std::nullopt;
    if (!words)
        return refuse(kIncorrect4mA);
    submit({ Op::WriteMany, m_slaveId(), modbus::kReg4mA, { words->low, words->high }, true, false });
    return true;
}

bool ConfigController::Set20mACommand_Click(const QString& text)
{
    const std::optional<double> number = parseRealNumber(text);
    const std::optional<TwoWords> words = number ? ConvertModbusValueTo2Integer(*number) : std::nullopt;
    if (!words)
        return refuse(kIncorrect20mA);
    submit({ Op::WriteMany, m_slaveId(), modbus::kReg20mA, { words->low, words->high }, true, false });
    return true;
}

bool ConfigController::writeBlock(const BlockWords& block, quint16 slave)
{
    if (block.clearMeasurementUnit)
        emit measurementUnitCleared();
    if (block.clearIndicationMode)
        emit indicationModeCleared();
    if (!block.ok())
        return refuse(block.message);
    submit({ Op::WriteMany, slave, block.startRegister, block.words, true, false });
    return true;
}

bool ConfigController::PresetMultipleRegsCommand_Click(const BlockInputs& inputs)
{
    return writeBlock(buildPresetBlock(inputs), m_slaveId());
}

bool ConfigController::SelectedPresetMultipleRegistersCommand_Click(
    const BlockInputs& inputs, const QString& startText, const QString& lengthText, quint16 slave)
{
    // Text that is no 16-bit number cannot name a start or a length of the table.
    const std::optional<quint16> start = toInt16Word(startText);
    const std::optional<quint16> length = toInt16Word(lengthText);
    const int s = start ? int(qint16(*start)) : 0;
    const int n = length ? int(qint16(*length)) : 0;
    return writeBlock(buildSelectedBlock(inputs, s, n), slave);
}

void ConfigController::CheckIllegalFunctionCommand_Click()
{
    submit({ Op::Probe, m_slaveId(), kProbeStartRegister, kProbeBuffer, false, false });
}

void ConfigController::CheckIllegalDataAddressCommand_Click()
{
    submit({ Op::WriteOne, m_slaveId(), kIllegalAddressRegister, { kIllegalAddressValue }, false, false });
}

void ConfigController::SetTankHeight1000TimesTimer_Timer()
{
    const bool previousWaiting
        = std::any_of(m_queue.cbegin(), m_queue.cend(), [](const Request& r) { return r.periodic; });
    if (previousWaiting)
        return;
    const quint16 value = m_periodicHigh ? kPeriodicHighValue : kPeriodicLowValue;
    m_periodicHigh = !m_periodicHigh;
    submit({ Op::WriteOne, m_slaveId(), modbus::kRegTankHeight, { value }, false, true });
}

void ConfigController::submit(Request request)
{
    m_queue.enqueue(std::move(request));
    drain();
}

void ConfigController::drain()
{
    if (m_inFlight || m_queue.isEmpty() || m_master.busy())
        return;
    issue(m_queue.dequeue());
}

void ConfigController::issue(const Request& request)
{
    m_inFlight = true;
    auto done = [this, request](const modbus::ModbusResult& result) { finish(request, result); };
    switch (request.op) {
    case Op::WriteOne:
        m_master.writeRegister(request.slave, request.start, request.values.front(), this, done);
        break;
    case Op::WriteMany:
        m_master.writeRegisters(request.slave, request.start, request.values, this, done);
        break;
    case Op::Probe:
        m_master.probeIllegalFunction(request.slave, request.start, request.values, this, done);
        break;
    }
}

void ConfigController::finish(const Request& request, const modbus::ModbusResult& result)
{
    m_inFlight = false;
    const bool inConfiguration
        = request.showsDeviceInConfiguration && result.status == modbus::StatusDeviceBusy;
    emit errorTextChanged(inConfiguration ? kDeviceInConfiguration : m_master.lastErrorText());
    if (m_countResult)
        m_countResult(result);
    emit commandFinished(result);
    drain();
}

} // namespace velto::config
