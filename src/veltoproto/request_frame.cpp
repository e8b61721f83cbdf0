#include "veltoproto/request_frame.h"

namespace velto::veltoproto {

namespace {
constexpr int kProtocolDigit = 2;
constexpr int kDataLength = 2;
constexpr int kDataValue = 0;
constexpr int kMinFieldWidth = 2;

QByteArray twoDigitsAtLeast(int value)
{
    return QByteArray::number(value).rightJustified(kMinFieldWidth, '0');
}
} // namespace

std::optional<QByteArray> buildRequestFrame(int address, bool sensorDigitOne, VeltoCommand command)
{
    if (address < kMinVeltoAddress || address > kMaxVeltoAddress)
        return std::nullopt;
    const int sensorDigit = sensorDigitOne ? 1 : 0;
    const int code = static_cast<int>(command);
    const int checksum = address + sensorDigit + kProtocolDigit + kDataLength + code + kDataValue;

    QByteArray frame;
    frame.reserve(16);
    frame += kFrameStart;
    frame += twoDigitsAtLeast(address);
    frame += QByteArray::number(sensorDigit);
    frame += QByteArray::number(kProtocolDigit);
    frame += twoDigitsAtLeast(kDataLength);
    frame += twoDigitsAtLeast(code);
    frame += twoDigitsAtLeast(kDataValue);
    frame += twoDigitsAtLeast(checksum);
    frame += kFrameEnd;
    return frame;
}

} // namespace velto::veltoproto
