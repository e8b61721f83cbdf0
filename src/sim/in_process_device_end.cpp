#include "sim/in_process_device_end.h"

namespace velto::sim {

InProcessDeviceEnd::InProcessDeviceEnd(const QString& name, QObject* parent)
    : DeviceEnd(parent)
    , m_wire(name)
{
    connect(&m_wire, &serial::InProcessWire::received, this, &DeviceEnd::received);
    connect(&m_wire, &serial::InProcessWire::inputCleared, this, &DeviceEnd::inputCleared);
}

} // namespace velto::sim
