#include "modbus/rtu_request.h"

#include "modbus/modbus_crc.h"
#include "modbus/pdu_payload.h"

namespace velto::modbus {

RtuRequest RtuRequest::read(int slave, int start, int count)
{
    // Start and count, as a Write Single Register carries register and value.
    return { Kind::Read, quint8(slave), rtu::kReadHoldingRegisters, count,
        writeSinglePayload(start, quint16(count)) };
}

RtuRequest RtuRequest::writeOne(int slave, int reg, quint16 value)
{
    return { Kind::WriteOne, quint8(slave), rtu::kWriteSingleRegister, 0, writeSinglePayload(reg, value) };
}

RtuRequest RtuRequest::writeMany(int slave, int start, const QList<quint16>& values)
{
    return { Kind::WriteMany, quint8(slave), rtu::kWriteMultipleRegisters, 0,
        writeMultiplePayload(start, values) };
}

RtuRequest RtuRequest::probe(int slave, int start, const QList<quint16>& values)
{
    return { Kind::Probe, quint8(slave), rtu::kProbeFunctionCode, 0, writeMultiplePayload(start, values) };
}

QByteArray RtuRequest::adu() const
{
    QByteArray frame;
    frame.append(char(slave));
    frame.append(char(function));
    frame.append(data);
    return withModbusCrc(frame);
}

} // namespace velto::modbus
