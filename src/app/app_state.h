#pragma once

#include "serial/serial_state.h"

#include <QtGlobal>

namespace velto::app {

// The state every window shares, with its start values.
struct AppState {
    quint16 CurrentSlaveId = 1;
    bool VeltoProtocolMode = false;
    bool ModbusConfigMode = false;
    int NextDeviceIndex = 0;
    int NumberOfDevices = 0;
    serial::SerialState serial;
};

} // namespace velto::app
