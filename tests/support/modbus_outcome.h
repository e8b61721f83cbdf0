#pragma once

#include <QList>
#include <QModbusDevice>

class QModbusReply;

namespace velto::test {

// How a request of Qt's own Modbus client ended: a peer's answer as an independent master sees it.
struct ModbusOutcome {
    QModbusDevice::Error error = QModbusDevice::UnknownError;
    int exception = -1; // the exception code of a protocol error
    QList<quint16> values;
};

// Waits up to waitMs for the reply to finish (a time-out when it does not), reads it and frees it;
// a null reply is an unknown error.
ModbusOutcome modbusOutcome(QModbusReply* reply, int waitMs);

} // namespace velto::test
