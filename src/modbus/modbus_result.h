#pragma once

#include <QList>
#include <QString>

namespace velto::modbus {

// The system's status codes: 0 success, 9 time-out, 12 device in configuration; anything else is
// a Modbus exception or a transport error. Exceptions other than Server Device Busy read
// StatusExceptionBase + the exception code (102 = Illegal Data Address).
enum ModbusStatus : int {
    StatusOk = 0,
    StatusTimeout = 9,
    StatusDeviceBusy = 12,
    StatusBusy = 13, // a request was still in flight; nothing was sent
    StatusNotOpen = 14, // the port is not open
    StatusLineLost = 15, // the serial line failed (adapter pulled, far end closed)
    StatusAborted = 16, // the port was closed while the request was in flight
    // An answer arrived but does not fit the request: malformed, wrong CRC, another slave, another
    // register count, or a write echo that names other registers or values.
    StatusInvalidResponse = 17,
    StatusWriteFailed = 18, // the request could not be written to the port
    StatusStackError = 19, // any other failure reported by the Modbus stack
    StatusBadAddress = 20, // the request named no single slave (0 is broadcast); nothing was sent
    StatusExceptionBase = 100,
};

struct ModbusResult {
    int status = StatusOk;
    QList<quint16> words; // register values of a successful read: exactly as many as asked for
    QString errorText; // what the master's LastErrorText reads after this request

    bool ok() const { return status == StatusOk; }
};

} // namespace velto::modbus
