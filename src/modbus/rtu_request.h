#pragma once

#include <QByteArray>
#include <QList>

namespace velto::modbus {

namespace rtu {
constexpr quint8 kReadHoldingRegisters = 0x03;
constexpr quint8 kWriteSingleRegister = 0x06;
constexpr quint8 kWriteMultipleRegisters = 0x10;
// A function code the sensors do not implement (first of the user-defined range); they answer it
// with Illegal Function, which is all the probe is for.
constexpr quint8 kProbeFunctionCode = 0x41;
constexpr quint8 kExceptionBit = 0x80;
} // namespace rtu

// One Modbus RTU request: what goes on the wire and what its answer is judged against.
struct RtuRequest {
    enum class Kind { Read, WriteOne, WriteMany, Probe };

    Kind kind = Kind::Read;
    quint8 slave = 0;
    quint8 function = 0;
    int count = 0; // registers a read asks for
    QByteArray data; // the PDU after the function code; a write's answer repeats its first four bytes

    static RtuRequest read(int slave, int start, int count);
    static RtuRequest writeOne(int slave, int reg, quint16 value);
    // Write Multiple Registers whatever the number of values, one included.
    static RtuRequest writeMany(int slave, int start, const QList<quint16>& values);
    // The payload of a write-multiple request under a function the sensors do not implement.
    static RtuRequest probe(int slave, int start, const QList<quint16>& values);

    // Slave, function, data and CRC, low byte first: the frame as it goes on the wire.
    QByteArray adu() const;
};

} // namespace velto::modbus
