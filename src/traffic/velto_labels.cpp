#include "traffic/frame_labels.h"

#include "veltoproto/reply_unpacker.h"
#include "veltoproto/request_frame.h"
#include "veltoproto/velto_display.h"

namespace velto::traffic {

namespace {

constexpr int kDecimal = 10;

QString quantity(int command)
{
    switch (command) {
    case int(veltoproto::VeltoCommand::Distance):
        return QStringLiteral("distance");
    case int(veltoproto::VeltoCommand::Temperature):
        return QStringLiteral("temperature");
    case int(veltoproto::VeltoCommand::TankHeight):
        return QStringLiteral("tank height");
    case int(veltoproto::VeltoCommand::Level):
        return QStringLiteral("level");
    default:
        return QStringLiteral("unknown quantity");
    }
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The number in digits [at, at + count), or -1 when any is not a digit or they run past the view.
int number(QByteArrayView v, qsizetype at, qsizetype count)
{
    if (at < 0 || at + count > v.size())
        return -1;
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        if (!isDigit(v[i]))
            return -1;
        value = value * kDecimal + (v[i] - '0');
    }
    return value;
}

// Why a reply that starts and ends as one was refused, as the program's unpacking sees it.
QString rejection(QByteArrayView frame)
{
    const qsizetype n = frame.size();
    if (n != veltoproto::kSingleShortLength && n != veltoproto::kSingleLongLength
        && n != veltoproto::kMultiShortLength && n != veltoproto::kMultiLongLength)
        return QStringLiteral("Velto reply of %1 characters: no accepted length").arg(n);
    const veltoproto::ReplyChecksum checksum = veltoproto::replyChecksum(frame);
    if (checksum.onLine != checksum.computed)
        return QStringLiteral("Velto reply with a bad checksum (%1 on the line, %2 computed)")
            .arg(checksum.onLine ? QString::number(*checksum.onLine) : QStringLiteral("no number"))
            .arg(checksum.computed);
    return QStringLiteral("Velto reply refused: protocol digit or fields");
}

} // namespace

std::optional<int> veltoRequestAddress(QByteArrayView frame)
{
    for (const qsizetype addressDigits : { 2, 3 }) {
        const int address = number(frame, 1, addressDigits);
        const qsizetype sensorAt = 1 + addressDigits;
        const int command = number(frame, sensorAt + 4, 2);
        if (address < 0 || command < 0 || sensorAt >= frame.size())
            continue;
        const std::optional<QByteArray> built = veltoproto::buildRequestFrame(
            address, frame[sensorAt] == '1', veltoproto::VeltoCommand(command));
        if (built && *built == frame)
            return address;
    }
    return std::nullopt;
}

FrameLabel labelVeltoRequest(QByteArrayView frame)
{
    // Two or three address digits: the frame is well-formed when it is exactly what the program
    // would build from the fields it seems to carry.
    for (const qsizetype addressDigits : { 2, 3 }) {
        const int address = number(frame, 1, addressDigits);
        const qsizetype sensorAt = 1 + addressDigits;
        const int command = number(frame, sensorAt + 4, 2);
        if (address < 0 || command < 0 || sensorAt >= frame.size())
            continue;
        const bool sensorOne = frame[sensorAt] == '1';
        const std::optional<QByteArray> built
            = veltoproto::buildRequestFrame(address, sensorOne, veltoproto::VeltoCommand(command));
        if (built && *built == frame)
            return { Protocol::VeltoAscii,
                QStringLiteral("request %1 (%2) of address %3, sensor digit %4")
                    .arg(quantity(command))
                    .arg(command, 2, kDecimal, QLatin1Char('0'))
                    .arg(address)
                    .arg(sensorOne ? 1 : 0),
                {} };
    }
    return { Protocol::VeltoAscii, QStringLiteral("not a well-formed Velto request"), {} };
}

FrameLabel labelVeltoReply(QByteArrayView frame)
{
    if (frame.isEmpty() || frame[0] != veltoproto::kFrameStart || !frame.endsWith(veltoproto::kFrameEnd))
        return { Protocol::VeltoAscii, QStringLiteral("not a Velto reply"),
            QStringLiteral("Velto reply without its start or its carriage return") };
    const std::optional<veltoproto::VeltoReplyFields> reply = veltoproto::parseVeltoReply(frame);
    if (!reply)
        return { Protocol::VeltoAscii, QStringLiteral("reply refused"), rejection(frame) };
    const QString unit = reply->unitType == veltoproto::kUnitTypeTwoSensors
        ? QStringLiteral("sensor %1 of a two-sensor unit").arg(reply->sensorIndex + 1)
        : QStringLiteral("single sensor");
    return { Protocol::VeltoAscii,
        QStringLiteral("%1 (%2) = %3, %4, %5, checksum ok")
            .arg(quantity(reply->commandCode))
            .arg(reply->commandCode, 2, kDecimal, QLatin1Char('0'))
            .arg(reply->value)
            .arg(veltoproto::statusText(reply->status)
                     .value_or(QStringLiteral("status %1").arg(reply->status)),
                unit),
        {} };
}

} // namespace velto::traffic
