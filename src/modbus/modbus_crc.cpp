#include "modbus/modbus_crc.h"

namespace velto::modbus {

namespace {
constexpr quint16 kCrcPolynomial = 0xA001;
constexpr qsizetype kCrcBytes = 2;
} // namespace

quint16 modbusCrcStep(quint16 crc, quint8 byte)
{
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1) ? quint16((crc >> 1) ^ kCrcPolynomial) : quint16(crc >> 1);
    return crc;
}

quint16 modbusCrc(QByteArrayView bytes)
{
    quint16 crc = kModbusCrcInitial;
    for (char c : bytes)
        crc = modbusCrcStep(crc, quint8(c));
    return crc;
}

QByteArray withModbusCrc(QByteArray frame)
{
    const quint16 crc = modbusCrc(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

bool hasValidModbusCrc(QByteArrayView frame)
{
    if (frame.size() <= kCrcBytes)
        return false;
    const qsizetype body = frame.size() - kCrcBytes;
    const quint16 crc = modbusCrc(frame.first(body));
    return quint8(frame[body]) == (crc & 0xFF) && quint8(frame[body + 1]) == (crc >> 8);
}

} // namespace velto::modbus
