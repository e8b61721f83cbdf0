#include "traffic/frame_labels.h"

#include "flash/flash_texts.h"
#include "flash/hex_record.h"
#include "modbus/modbus_crc.h"
#include "radar/radar_command.h"
#include "traffic/row_format.h"
#include "veltoproto/request_frame.h"

namespace velto::traffic {

namespace {

constexpr char kLineFeed = '\n';

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Up to and including the terminator; 0 while it has not come.
qsizetype untilIncluding(QByteArrayView pending, char terminator)
{
    const qsizetype at = pending.indexOf(terminator);
    return at < 0 ? 0 : at + 1;
}

} // namespace

FrameLabel labelSent(QByteArrayView frame, LabelContext& context)
{
    if (frame.size() >= 2 && quint8(frame[0]) == radar::kFrameStart0
        && quint8(frame[1]) == radar::kFrameStart1)
        return labelRadarCommand(frame, context);
    if (frame.startsWith(flash::kCommandPrefix) || frame.startsWith(flash::kHexStartCode))
        return labelFlashMessage(frame);
    // Velto requests and calibration messages start alike; a Velto address follows with a digit.
    if (frame.size() >= 2 && frame[0] == veltoproto::kFrameStart)
        return isDigit(frame[1]) ? labelVeltoRequest(frame) : labelCalibrationMessage(frame);
    if (isModbusRequest(frame))
        return labelModbusRequest(frame, context);
    return { Protocol::Unknown, QStringLiteral("not a frame of a known protocol"), {} };
}

FrameLabel labelReceived(QByteArrayView frame, Protocol protocol, LabelContext& context)
{
    switch (protocol) {
    case Protocol::VeltoAscii:
        return labelVeltoReply(frame);
    case Protocol::Radar:
        return labelRadarReply(frame, context);
    case Protocol::Flash:
        return labelFlashAnswer(frame);
    case Protocol::Debug:
        return labelDebugLine(frame);
    case Protocol::Calibration:
        // The unit never answers its calibration messages.
        return { Protocol::Calibration, QStringLiteral("unexpected: the unit does not answer"), {} };
    case Protocol::ModbusRtu:
        return labelModbusAnswer(frame, context);
    case Protocol::Unknown:
    case Protocol::State:
        break;
    }
    return { protocol, QStringLiteral("no request before it"), {} };
}

qsizetype receivedFrameLength(QByteArrayView pending, Protocol protocol)
{
    switch (protocol) {
    case Protocol::VeltoAscii:
        return untilIncluding(pending, veltoproto::kFrameEnd);
    case Protocol::Debug:
        return untilIncluding(pending, kLineFeed);
    case Protocol::Radar:
        return radarFrameLength(pending);
    case Protocol::Flash:
        return flashFrameLength(pending);
    case Protocol::Calibration:
    case Protocol::ModbusRtu:
    case Protocol::Unknown:
    case Protocol::State:
        break;
    }
    // Nothing to frame by: the bytes as they came.
    return pending.size();
}

bool expectsAnswer(Protocol protocol)
{
    return protocol == Protocol::VeltoAscii || protocol == Protocol::Radar || protocol == Protocol::Flash;
}

QString describeRequest(QByteArrayView bytes)
{
    LabelContext context;
    FrameLabel label = labelSent(bytes, context);
    QString meaning = label.protocol == Protocol::Unknown ? QString() : label.summary;
    if (meaning.isEmpty()) {
        const ModbusFrameInfo modbus = decodeModbusRtu(bytes, Direction::Tx);
        if (modbus.crcOk)
            meaning = QStringLiteral("Modbus RTU %1").arg(modbus.summary);
    } else {
        meaning = protocolName(label.protocol) + QLatin1Char(' ') + meaning;
    }
    const QString hex = hexText(bytes.toByteArray());
    return meaning.isEmpty() ? hex : QStringLiteral("%1 (%2)").arg(hex, meaning);
}

bool isModbusRequest(QByteArrayView frame)
{
    constexpr qsizetype kMinRequest = 4; // slave, function, CRC
    return frame.size() >= kMinRequest && modbus::hasValidModbusCrc(frame);
}

FrameLabel labelModbusRequest(QByteArrayView frame, LabelContext& context)
{
    const ModbusFrameInfo info = decodeModbusRtu(frame, Direction::Tx);
    context.modbusFunction = quint8(frame[1]);
    context.modbusRequest = info.request;
    return { Protocol::ModbusRtu, info.summary, {} };
}

FrameLabel labelModbusAnswer(QByteArrayView frame, const LabelContext& context)
{
    return { Protocol::ModbusRtu, decodeModbusRtu(frame, Direction::Rx, context.modbusRequest).summary, {} };
}

} // namespace velto::traffic
