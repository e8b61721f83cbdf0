#include "veltoproto/reply_unpacker.h"

#include "veltoproto/request_frame.h"

#include <limits>

namespace velto::veltoproto {

namespace {
constexpr char kProtocolDigit = '2';
// 0-based offsets of the fixed fields.
constexpr qsizetype kAddressAt = 1;
constexpr qsizetype kSensorIndexAt = 3;
constexpr qsizetype kProtocolAt = 4;
constexpr qsizetype kLengthAt = 5;
constexpr qsizetype kCommandAt = 7;
constexpr qsizetype kValueAt = 9;
// The checksum's two digits and the CR close every reply.
constexpr qsizetype kTrailerLength = 3;
constexpr int kMaxTemperature = std::numeric_limits<quint8>::max();
constexpr int kMaxTwoDigitAddress = 99;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
int digitValue(char c)
{
    return isDigit(c) ? c - '0' : 0;
}

std::optional<int> twoDigits(QByteArrayView v, qsizetype at)
{
    if (at + 1 >= v.size() || !isDigit(v[at]) || !isDigit(v[at + 1]))
        return std::nullopt;
    return digitValue(v[at]) * 10 + digitValue(v[at + 1]);
}

std::optional<qint32> decimalValue(QByteArrayView v)
{
    qsizetype i = 0;
    while (i < v.size() && v[i] == ' ')
        ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) {
        negative = v[i] == '-';
        ++i;
    }
    if (i == v.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < v.size(); ++i) {
        if (!isDigit(v[i]))
            return std::nullopt;
        value = value * 10 + digitValue(v[i]);
        if (value > std::numeric_limits<qint32>::max())
            return std::nullopt;
    }
    return static_cast<qint32>(negative ? -value : value);
}

bool framed(QByteArrayView v)
{
    return v.size() >= 2 && v.front() == kFrameStart && v.back() == kFrameEnd;
}

bool isMultiLength(qsizetype n)
{
    return n == kMultiShortLength || n == kMultiLongLength;
}
bool isSingleLength(qsizetype n)
{
    return n == kSingleShortLength || n == kSingleLongLength;
}

bool store(SensorReadings& readings, qint32 command, qint32 value)
{
    switch (static_cast<VeltoCommand>(command)) {
    case VeltoCommand::Distance:
        readings.distance = value;
        return true;
    case VeltoCommand::Temperature:
        readings.temperature = static_cast<quint8>(value);
        return true;
    case VeltoCommand::TankHeight:
        readings.tankHeight = value;
        return true;
    case VeltoCommand::Level:
        readings.level = value;
        return true;
    }
    return false;
}

// Layout, status and storing, on the kept fields; value is empty when nothing is to be stored.
UnpackResult applyKeptFields(VeltoState& state, const std::optional<VeltoReplyFields>& fields)
{
    UnpackResult result;
    result.applied = true;
    result.accepted = fields.has_value();
    result.tankLeft = state.replyUnitType == kUnitTypeTwoSensors ? kTankLeftTwoSensors : kTankLeftSingle;

    int sensor = -1;
    if (state.replyUnitType == kUnitTypeSingle && state.replySensorIndex == 0) {
        result.layout = Layout::SingleSensor;
        result.statusTarget = StatusTarget::Sensor1;
        sensor = 0;
    } else if (state.replyUnitType == kUnitTypeTwoSensors && state.replySensorIndex == 0) {
        result.statusTarget = StatusTarget::Sensor1;
        sensor = 0;
    } else if (state.replyUnitType == kUnitTypeTwoSensors && state.replySensorIndex == 1) {
        result.layout = Layout::TwoSensors;
        result.statusTarget = StatusTarget::Sensor2;
        sensor = 1;
    }
    if (result.layout)
        state.layout = result.layout;
    if (sensor >= 0 && isShownStatus(state.replyStatus))
        state.shownStatus[sensor] = state.replyStatus;
    if (sensor >= 0 && fields)
        result.stored = store(state.sensors[sensor], fields->commandCode, fields->value);
    return result;
}
} // namespace

ReplyChecksum replyChecksum(QByteArrayView reply)
{
    ReplyChecksum checksum;
    const qsizetype bodyEnd = reply.size() - kTrailerLength;
    if (bodyEnd < 1)
        return checksum;
    checksum.onLine = twoDigits(reply, bodyEnd);
    for (qsizetype i = 1; i < bodyEnd; ++i)
        checksum.computed += digitValue(reply[i]);
    return checksum;
}

std::optional<VeltoReplyFields> parseVeltoReply(QByteArrayView v)
{
    const qsizetype n = v.size();
    if (!framed(v))
        return std::nullopt;
    const bool multi = isMultiLength(n);
    if (!multi && !isSingleLength(n))
        return std::nullopt;

    const qsizetype bodyEnd = n - kTrailerLength; // one past the last character summed
    const ReplyChecksum checksum = replyChecksum(v);
    if (checksum.onLine != checksum.computed || v[kProtocolAt] != kProtocolDigit)
        return std::nullopt;

    VeltoReplyFields f;
    if (!isDigit(v[kSensorIndexAt]))
        return std::nullopt;
    f.sensorIndex = static_cast<quint8>(digitValue(v[kSensorIndexAt]));

    const auto length = twoDigits(v, kLengthAt);
    const auto command = twoDigits(v, kCommandAt);
    if (!length || !command || *length < 1)
        return std::nullopt;
    // L places the value and the status; both (and the unit type) must stay before the checksum.
    const qsizetype statusAt = kValueAt + *length;
    const qsizetype lastFieldAt = multi ? statusAt + 1 : statusAt;
    if (lastFieldAt >= bodyEnd)
        return std::nullopt;
    f.dataLength = static_cast<quint8>(*length);
    f.commandCode = *command;

    const auto value = decimalValue(v.sliced(kValueAt, *length));
    if (!value || !isDigit(v[statusAt]))
        return std::nullopt;
    f.value = *value;
    f.status = static_cast<quint8>(digitValue(v[statusAt]));
    if (multi) {
        if (!isDigit(v[statusAt + 1]))
            return std::nullopt;
        f.unitType = static_cast<quint8>(digitValue(v[statusAt + 1]));
    }
    if (f.commandCode == static_cast<int>(VeltoCommand::Temperature)
        && (f.value < 0 || f.value > kMaxTemperature))
        return std::nullopt;
    return f;
}

bool fitsRequest(QByteArrayView reply, int address, VeltoCommand command)
{
    const auto fields = parseVeltoReply(reply);
    if (!fields)
        return true;
    if (fields->commandCode != static_cast<int>(command))
        return false;
    if (address < 0 || address > kMaxTwoDigitAddress)
        return true;
    return twoDigits(reply, kAddressAt) == address;
}

UnpackResult UnpackRecData(QByteArrayView reply, VeltoState& state)
{
    if (!framed(reply))
        return {};
    const qsizetype n = reply.size();
    if (!isSingleLength(n) && !isMultiLength(n)) {
        // No fields, but the layout and status follow the last accepted reply again.
        if (!state.anyAccepted)
            return {};
        return applyKeptFields(state, std::nullopt);
    }
    const auto fields = parseVeltoReply(reply);
    if (!fields)
        return {};
    state.replySensorIndex = fields->sensorIndex;
    state.replyStatus = fields->status;
    state.replyUnitType = fields->unitType;
    state.anyAccepted = true;
    return applyKeptFields(state, fields);
}

} // namespace velto::veltoproto
