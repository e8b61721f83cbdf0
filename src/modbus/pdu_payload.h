#pragma once

#include <QByteArray>
#include <QList>

namespace velto::modbus {

// The PDU bytes after the function code, big-endian as on the wire.

// Write Single Register: register, value.
QByteArray writeSinglePayload(int reg, quint16 value);
// Write Multiple Registers: start, count, byte count, then the values.
QByteArray writeMultiplePayload(int start, const QList<quint16>& values);

} // namespace velto::modbus
