#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace velto::modbus {

// CRC-16/Modbus (reflected 0xA001, initial 0xFFFF); on the wire low byte first.
quint16 modbusCrc(QByteArrayView bytes);

// Incremental form for scanning a buffer byte by byte.
quint16 modbusCrcStep(quint16 crc, quint8 byte);
constexpr quint16 kModbusCrcInitial = 0xFFFF;

// The bytes with their CRC appended.
QByteArray withModbusCrc(QByteArray frame);

// True when the last two bytes are the CRC of the rest.
bool hasValidModbusCrc(QByteArrayView frame);

} // namespace velto::modbus
