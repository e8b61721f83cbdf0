#include "modbus/pdu_payload.h"

namespace velto::modbus {

namespace {

constexpr int kRegisterBytes = 2;

void append16(QByteArray& bytes, quint16 v)
{
    bytes.append(char(v >> 8));
    bytes.append(char(v & 0xFF));
}

} // namespace

QByteArray writeSinglePayload(int reg, quint16 value)
{
    QByteArray payload;
    append16(payload, quint16(reg));
    append16(payload, value);
    return payload;
}

QByteArray writeMultiplePayload(int start, const QList<quint16>& values)
{
    QByteArray payload;
    append16(payload, quint16(start));
    append16(payload, quint16(values.size()));
    payload.append(char(quint8(values.size() * kRegisterBytes)));
    for (quint16 v : values)
        append16(payload, v);
    return payload;
}

} // namespace velto::modbus
