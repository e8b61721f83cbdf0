#pragma once

#include "calibration/calibration_state.h"
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
    calibration::CalibrationState calibration;
};

} // namespace velto::app
