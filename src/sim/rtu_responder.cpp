#include "sim/rtu_responder.h"

#include "modbus/modbus_crc.h"

namespace velto::sim {

namespace {
constexpr qsizetype kFixedRequestSize = 8; // address, function, two words, CRC
constexpr qsizetype kMultipleHeaderSize = 7; // address, function, start, count, byte count
constexpr qsizetype kCrcSize = 2;
constexpr qsizetype kWriteEchoSize
    = 6; // a write is confirmed by its address, function, start and value/count
constexpr int kMaxReadCount = 125;
constexpr int kMaxWriteCount = 123;

quint16 wordAt(QByteArrayView frame, qsizetype at)
{
    return quint16((quint8(frame[at]) << 8) | quint8(frame[at + 1]));
}

void appendWord(QByteArray& out, quint16 word)
{
    out.append(char(word >> 8));
    out.append(char(word & 0xFF));
}

QByteArray exceptionReply(quint8 address, quint8 function, ModbusException code)
{
    QByteArray out;
    out.append(char(address));
    out.append(char(function | fn::kExceptionFlag));
    out.append(char(code));
    return modbus::withModbusCrc(out);
}
} // namespace

RtuResponder::RtuResponder(QList<SensorModel*> bus)
    : m_bus(std::move(bus))
{
}

SensorModel* RtuResponder::sensor(int address) const
{
    for (SensorModel* s : m_bus) {
        if (s->address() == address)
            return s;
    }
    return nullptr;
}

QByteArray RtuResponder::respond(QByteArrayView frame, qint64 ms)
{
    if (frame.size() < kCrcSize + 2)
        return {};
    const quint8 address = quint8(frame[0]);
    if (address == kBroadcastAddress) {
        for (SensorModel* s : m_bus)
            handle(*s, frame, ms);
        return {};
    }
    SensorModel* target = sensor(address);
    return target ? handle(*target, frame, ms) : QByteArray();
}

QByteArray RtuResponder::handle(SensorModel& sensor, QByteArrayView frame, qint64 ms)
{
    const quint8 address = quint8(frame[0]);
    const quint8 function = quint8(frame[1]);
    const bool broadcast = address == kBroadcastAddress;

    switch (function) {
    case fn::kReadHoldingRegisters: {
        if (broadcast || frame.size() != kFixedRequestSize)
            return {};
        const int start = wordAt(frame, 2);
        const int count = wordAt(frame, 4);
        if (count < 1 || count > kMaxReadCount)
            return exceptionReply(address, function, ModbusException::IllegalDataValue);
        QList<quint16> words;
        const ModbusException ex = sensor.readRegisters(start, count, ms, words);
        if (ex != ModbusException::None)
            return exceptionReply(address, function, ex);
        QByteArray out;
        out.append(char(address));
        out.append(char(function));
        out.append(char(words.size() * 2));
        for (quint16 w : words)
            appendWord(out, w);
        return modbus::withModbusCrc(out);
    }
    case fn::kWriteSingleRegister: {
        if (frame.size() != kFixedRequestSize)
            return {};
        const ModbusException ex = sensor.writeRegisters(wordAt(frame, 2), { wordAt(frame, 4) });
        if (broadcast)
            return {};
        if (ex != ModbusException::None)
            return exceptionReply(address, function, ex);
        return modbus::withModbusCrc(frame.first(kWriteEchoSize).toByteArray());
    }
    case fn::kWriteMultipleRegisters: {
        if (frame.size() < kMultipleHeaderSize + kCrcSize)
            return {};
        const int start = wordAt(frame, 2);
        const int count = wordAt(frame, 4);
        const int byteCount = quint8(frame[6]);
        if (count < 1 || count > kMaxWriteCount || byteCount != count * 2
            || frame.size() != kMultipleHeaderSize + byteCount + kCrcSize) {
            return broadcast ? QByteArray()
                             : exceptionReply(address, function, ModbusException::IllegalDataValue);
        }
        QList<quint16> values;
        for (int i = 0; i < count; ++i)
            values.append(wordAt(frame, kMultipleHeaderSize + 2 * i));
        const ModbusException ex = sensor.writeRegisters(start, values);
        if (broadcast)
            return {};
        if (ex != ModbusException::None)
            return exceptionReply(address, function, ex);
        return modbus::withModbusCrc(frame.first(kWriteEchoSize).toByteArray());
    }
    default:
        return broadcast ? QByteArray() : exceptionReply(address, function, ModbusException::IllegalFunction);
    }
}

} // namespace velto::sim
