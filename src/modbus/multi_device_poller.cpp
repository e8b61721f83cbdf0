#include "modbus/multi_device_poller.h"

#include "common/number_text.h"
#include "modbus/modbus_master.h"
#include "modbus/register_map.h"
#include "modbus/slave_address.h"

#include <algorithm>

namespace velto::modbus {

MultiDevicePoller::MultiDevicePoller(ModbusMaster& master, QObject* parent)
    : QObject(parent)
    , m_master(master)
{
    connect(&m_master, &ModbusMaster::lineLost, this, &MultiDevicePoller::errorTextChanged);
    connect(&m_counters, &PollCounters::changed, this, &MultiDevicePoller::countersChanged);
    for (int device = 1; device <= kMaxDevices; ++device)
        m_addressTexts << QString::number(device);
}

void MultiDevicePoller::setNumberOfDevices(int count)
{
    m_deviceCount = std::clamp(count, 1, kMaxDevices);
    m_nextDevice = m_deviceCount;
    m_failing.clear();
}

void MultiDevicePoller::setAddressTexts(const QStringList& texts)
{
    for (int i = 0; i < kMaxDevices && i < texts.size(); ++i)
        m_addressTexts[i] = texts.at(i);
}

void MultiDevicePoller::setAddressText(int device, const QString& text)
{
    if (device >= 1 && device <= kMaxDevices)
        m_addressTexts[device - 1] = text;
}

QStringList MultiDevicePoller::valueBoxNames(int device)
{
    QStringList names;
    if (device < 1 || device > kMaxDevices)
        return names;
    for (const char* name : kDeviceValueBoxes[device - 1])
        names << QLatin1String(name);
    return names;
}

void MultiDevicePoller::tick()
{
    if (m_inFlight || m_master.busy())
        return;

    const int device = m_nextDevice;
    m_nextDevice = device > 1 ? device - 1 : m_deviceCount;

    const auto address = parseWholeNumber(m_addressTexts.at(device - 1));
    if (!address || !isSlaveAddress(*address))
        return;
    m_slaveId = int(*address);
    emit currentSlaveIdChanged(m_slaveId);

    m_inFlight = true;
    m_master.readRegisters(m_slaveId, kDynamicGroup.start, kDynamicGroup.count, this,
        [this, device](const ModbusResult& result) { finish(device, result); });
}

void MultiDevicePoller::finish(int device, const ModbusResult& result)
{
    m_inFlight = false;
    m_counters.count(result);
    QStringList values;
    // The master only calls a read good when it brought the eight registers asked for.
    if (result.ok()) {
        for (int i = 0; i < kDeviceValueCount; ++i)
            values << QString::number(qint16(result.words.at(i)));
    } else {
        values = QStringList(kDeviceValueCount, QStringLiteral("0"));
    }
    emit errorTextChanged(shownErrorText(device, result));

    emit deviceRead(device, m_slaveId, result);
    emit deviceValuesChanged(device, values);
    const QStringList names = valueBoxNames(device);
    QList<BoxUpdate> updates;
    for (int i = 0; i < kDeviceValueCount; ++i)
        updates << BoxUpdate { names.at(i), values.at(i), {}, {}, {} };
    emit boxesUpdated(updates);
}

QString MultiDevicePoller::shownErrorText(int device, const ModbusResult& result)
{
    m_failing.removeIf([device](const QPair<int, QString>& failure) { return failure.first == device; });
    if (!result.ok())
        m_failing.append({ device, result.errorText });
    return m_failing.isEmpty() ? result.errorText : m_failing.last().second;
}

void MultiDevicePoller::resetCounters()
{
    m_counters.reset();
}

} // namespace velto::modbus
