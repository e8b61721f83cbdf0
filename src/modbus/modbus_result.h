#pragma once

#include <QList>
#include <QString>

namespace velto::modbus {

// The system's status codes: 0 success, 9 time-out, 12 device in configuration; anything else is
// a Modbus exception or a transport error.
enum ModbusStatus : int {
    StatusOk = 0,
    StatusTimeout = 9,
    StatusDeviceBusy = 12,
};

struct ModbusResult {
    int status = StatusOk;
    QList<quint16> words; // register values on a successful read
    QString errorText; // what the master's LastErrorText reads after this request

    bool ok() const { return status == StatusOk; }
};

} // namespace velto::modbus
