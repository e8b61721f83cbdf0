#include "sim/velto_ascii.h"

#include <algorithm>

namespace velto::sim {

namespace {
constexpr int kMinFieldDigits = 2;
constexpr int kShortValueWidth = 3;
constexpr int kLongValueWidth = 6;
constexpr qint32 kShortValueMax = 999;
constexpr qint32 kLongValueMax = 999999;
// Sensor digit, protocol digit, length (2), command (2), data (2).
constexpr qsizetype kFixedMiddle = 8;

QByteArray decimal(qint64 value, int minDigits)
{
    return QByteArray::number(value).rightJustified(minDigits, '0');
}

bool allDigits(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(QByteArrayView digits)
{
    int v = 0;
    for (char c : digits)
        v = v * 10 + (c - '0');
    return v;
}

int requestChecksum(const VeltoRequest& r)
{
    return r.address + r.sensorDigit + kVeltoProtocolDigit + kVeltoRequestDataLength + r.command + r.data;
}

std::optional<VeltoRequest> parseWithAddressWidth(QByteArrayView body, qsizetype addressWidth)
{
    if (body.size() < addressWidth + kFixedMiddle + kMinFieldDigits)
        return std::nullopt;
    const QByteArrayView middle = body.sliced(addressWidth, kFixedMiddle);
    if (middle[1] - '0' != kVeltoProtocolDigit || number(middle.sliced(2, 2)) != kVeltoRequestDataLength)
        return std::nullopt;
    VeltoRequest r;
    r.address = number(body.first(addressWidth));
    r.sensorDigit = middle[0] - '0';
    r.command = number(middle.sliced(4, 2));
    r.data = number(middle.sliced(6, 2));
    const int checksum = number(body.sliced(addressWidth + kFixedMiddle));
    if (r.address > kVeltoMaxAddress || checksum != requestChecksum(r))
        return std::nullopt;
    return r;
}
} // namespace

QByteArray buildVeltoRequest(const VeltoRequest& r)
{
    QByteArray out(1, kVeltoStart);
    out += decimal(r.address, kMinFieldDigits);
    out += decimal(r.sensorDigit, 1);
    out += decimal(kVeltoProtocolDigit, 1);
    out += decimal(kVeltoRequestDataLength, kMinFieldDigits);
    out += decimal(r.command, kMinFieldDigits);
    out += decimal(r.data, kMinFieldDigits);
    out += decimal(requestChecksum(r), kMinFieldDigits);
    out += kVeltoEnd;
    return out;
}

std::optional<VeltoRequest> parseVeltoRequest(QByteArrayView frame)
{
    if (frame.size() < kVeltoRequestMinSize || frame.size() > kVeltoRequestMaxSize
        || frame.front() != kVeltoStart || frame.back() != kVeltoEnd)
        return std::nullopt;
    const QByteArrayView body = frame.sliced(1, frame.size() - 2);
    if (!allDigits(body))
        return std::nullopt;
    // The address and the checksum each take two or three digits; only one split fits the sum.
    for (qsizetype width : { 2, 3 }) {
        if (auto r = parseWithAddressWidth(body, width))
            return r;
    }
    return std::nullopt;
}

bool isKnownVeltoCommand(int command)
{
    return command == velto_cmd::kDistance || command == velto_cmd::kTemperature
        || command == velto_cmd::kTankHeight || command == velto_cmd::kLevel;
}

int veltoValueWidth(int command)
{
    return command == velto_cmd::kTemperature ? kShortValueWidth : kLongValueWidth;
}

int veltoDigitSum(QByteArrayView text)
{
    int sum = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            sum += c - '0';
    }
    return sum;
}

QByteArray buildVeltoReply(const VeltoReply& r)
{
    const int width = veltoValueWidth(r.command);
    const qint32 value = std::clamp(r.value, 0, width == kShortValueWidth ? kShortValueMax : kLongValueMax);

    QByteArray body;
    body += decimal(r.address, kMinFieldDigits);
    body += decimal(r.sensorIndex, 1);
    body += decimal(kVeltoProtocolDigit, 1);
    body += decimal(width, kMinFieldDigits);
    body += decimal(r.command, kMinFieldDigits);
    body += decimal(value, width);
    body += decimal(r.status, 1);
    if (r.twoSensorUnit)
        body += decimal(kVeltoTwoSensorUnitType, 1);

    QByteArray out(1, kVeltoStart);
    out += body;
    out += decimal(veltoDigitSum(body), kMinFieldDigits);
    out += kVeltoEnd;
    return out;
}

} // namespace velto::sim
