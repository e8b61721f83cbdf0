#include "traffic/modbus_frame_decoder.h"

#include "modbus/modbus_crc.h"
#include "modbus/modbus_exception.h"
#include "modbus/rtu_request.h"

#include <QStringList>

namespace velto::traffic {

namespace {

constexpr qsizetype kCrcBytes = 2;
constexpr qsizetype kMinFrame = 4; // slave, function, CRC
constexpr quint8 kExceptionBit = modbus::rtu::kExceptionBit;
constexpr int kMaxValuesShown = 16;

// Those the program sends are the master's own; the rest are standard Modbus, named for the traffic
// of other masters on the line.
enum Function : quint8 {
    ReadCoils = 0x01,
    ReadDiscreteInputs = 0x02,
    ReadHoldingRegisters = modbus::rtu::kReadHoldingRegisters,
    ReadInputRegisters = 0x04,
    WriteSingleCoil = 0x05,
    WriteSingleRegister = modbus::rtu::kWriteSingleRegister,
    WriteMultipleCoils = 0x0F,
    WriteMultipleRegisters = modbus::rtu::kWriteMultipleRegisters,
};

quint16 word(QByteArrayView data, qsizetype at)
{
    return quint16((quint8(data[at]) << 8) | quint8(data[at + 1]));
}

QString range(quint16 start, quint16 count)
{
    if (count <= 1)
        return QStringLiteral("R%1").arg(start);
    return QStringLiteral("R%1..R%2").arg(start).arg(int(start) + count - 1);
}

QString valueList(QByteArrayView data, qsizetype at, int count)
{
    QStringList values;
    for (int i = 0; i < count && i < kMaxValuesShown; ++i)
        values << QString::number(word(data, at + 2 * i));
    if (count > kMaxValuesShown)
        values << QStringLiteral("...");
    return values.join(QStringLiteral(", "));
}

QString readWhat(quint8 function)
{
    switch (function) {
    case ReadCoils:
        return QStringLiteral("coils");
    case ReadDiscreteInputs:
        return QStringLiteral("discrete inputs");
    case ReadHoldingRegisters:
        return QStringLiteral("holding registers");
    default:
        return QStringLiteral("input registers");
    }
}

QString malformed(quint8 function, qsizetype dataBytes)
{
    return QStringLiteral("function %1, malformed (%2 data bytes)").arg(function).arg(dataBytes);
}

QString otherFunction(quint8 function, qsizetype dataBytes)
{
    return QStringLiteral("function 0x%1, %2 data bytes")
        .arg(function, 2, 16, QLatin1Char('0'))
        .arg(dataBytes);
}

// data: the PDU after the function code, CRC removed.
QString describeRequest(quint8 slave, quint8 function, QByteArrayView data, ModbusFrameInfo& info)
{
    switch (function) {
    case ReadCoils:
    case ReadDiscreteInputs:
    case ReadHoldingRegisters:
    case ReadInputRegisters: {
        if (data.size() != 4)
            return malformed(function, data.size());
        const quint16 start = word(data, 0);
        const quint16 count = word(data, 2);
        info.request = ModbusRequestInfo { slave, function, start, count };
        if (function <= ReadDiscreteInputs)
            return QStringLiteral("read %1 %2..%3 (%4)")
                .arg(readWhat(function))
                .arg(start)
                .arg(int(start) + count - 1)
                .arg(count);
        return QStringLiteral("read %1 %2 (%3)").arg(readWhat(function), range(start, count)).arg(count);
    }
    case WriteSingleCoil:
        if (data.size() != 4)
            return malformed(function, data.size());
        return QStringLiteral("write coil %1 = %2")
            .arg(word(data, 0))
            .arg(word(data, 2) ? QStringLiteral("ON") : QStringLiteral("OFF"));
    case WriteSingleRegister:
        if (data.size() != 4)
            return malformed(function, data.size());
        info.request = ModbusRequestInfo { slave, function, word(data, 0), 1 };
        return QStringLiteral("write R%1 = %2").arg(word(data, 0)).arg(word(data, 2));
    case WriteMultipleCoils:
    case WriteMultipleRegisters: {
        if (data.size() < 5 || data.size() != 5 + quint8(data[4]))
            return malformed(function, data.size());
        const quint16 start = word(data, 0);
        const quint16 count = word(data, 2);
        info.request = ModbusRequestInfo { slave, function, start, count };
        if (function == WriteMultipleCoils)
            return QStringLiteral("write coils %1..%2 (%3)")
                .arg(start)
                .arg(int(start) + count - 1)
                .arg(count);
        if (quint8(data[4]) != 2 * count)
            return malformed(function, data.size());
        return QStringLiteral("write %1 = %2").arg(range(start, count), valueList(data, 5, count));
    }
    default:
        return otherFunction(function, data.size());
    }
}

QString describeAnswer(quint8 slave, quint8 function, QByteArrayView data,
    const std::optional<ModbusRequestInfo>& request, ModbusFrameInfo& info)
{
    if (function & kExceptionBit) {
        info.exception = true;
        const quint8 asked = function & quint8(~kExceptionBit);
        if (data.size() != 1)
            return QStringLiteral("exception to function %1, malformed (%2 data bytes)")
                .arg(asked)
                .arg(data.size());
        return QStringLiteral("exception %1 to function %2")
            .arg(modbus::exceptionText(quint8(data[0])))
            .arg(asked);
    }
    // The request it answers, when it asked this slave for this function.
    const bool answersRequest = request && request->slave == slave && request->function == function;
    switch (function) {
    case ReadCoils:
    case ReadDiscreteInputs:
        if (data.isEmpty() || data.size() != 1 + quint8(data[0]))
            return malformed(function, data.size());
        return QStringLiteral("%1: %2 data bytes").arg(readWhat(function)).arg(quint8(data[0]));
    case ReadHoldingRegisters:
    case ReadInputRegisters: {
        if (data.isEmpty() || data.size() != 1 + quint8(data[0]) || quint8(data[0]) % 2 != 0)
            return malformed(function, data.size());
        const int count = quint8(data[0]) / 2;
        const QString values = valueList(data, 1, count);
        if (answersRequest && request->count == count)
            return QStringLiteral("%1 = %2").arg(range(request->start, quint16(count)), values);
        return QStringLiteral("%1 %2 = %3")
            .arg(count)
            .arg(count == 1 ? QStringLiteral("register") : QStringLiteral("registers"), values);
    }
    case WriteSingleCoil:
        if (data.size() != 4)
            return malformed(function, data.size());
        return QStringLiteral("wrote coil %1").arg(word(data, 0));
    case WriteSingleRegister:
        if (data.size() != 4)
            return malformed(function, data.size());
        return QStringLiteral("wrote R%1 = %2").arg(word(data, 0)).arg(word(data, 2));
    case WriteMultipleCoils:
        if (data.size() != 4)
            return malformed(function, data.size());
        return QStringLiteral("wrote coils %1..%2 (%3)")
            .arg(word(data, 0))
            .arg(int(word(data, 0)) + word(data, 2) - 1)
            .arg(word(data, 2));
    case WriteMultipleRegisters:
        if (data.size() != 4)
            return malformed(function, data.size());
        return QStringLiteral("wrote %1 (%2)").arg(range(word(data, 0), word(data, 2))).arg(word(data, 2));
    default:
        return otherFunction(function, data.size());
    }
}

} // namespace

ModbusFrameInfo decodeModbusRtu(
    QByteArrayView frame, Direction direction, const std::optional<ModbusRequestInfo>& lastRequest)
{
    ModbusFrameInfo info;
    if (frame.size() < kMinFrame) {
        info.summary = QStringLiteral("too short for a Modbus frame (%1 bytes)").arg(frame.size());
        return info;
    }
    const QByteArrayView body = frame.first(frame.size() - kCrcBytes);
    const quint16 onLine = quint16(quint8(frame[frame.size() - 2]) | (quint8(frame[frame.size() - 1]) << 8));
    const quint16 computed = modbus::modbusCrc(body);
    info.crcOk = onLine == computed;

    const auto slave = quint8(frame[0]);
    const auto function = quint8(frame[1]);
    const QByteArrayView data = body.sliced(2);
    const QString what = direction == Direction::Tx
        ? describeRequest(slave, function, data, info)
        : describeAnswer(slave, function, data, lastRequest, info);
    if (!info.crcOk)
        info.request.reset(); // a frame the slave will discard announces nothing
    const QString crc = info.crcOk ? QStringLiteral("CRC ok")
                                   : QStringLiteral("CRC bad (0x%1 on the line, 0x%2 computed)")
                                         .arg(onLine, 4, 16, QLatin1Char('0'))
                                         .arg(computed, 4, 16, QLatin1Char('0'));
    info.summary = QStringLiteral("slave %1: %2, %3").arg(slave).arg(what, crc);
    return info;
}

} // namespace velto::traffic
