#pragma once

#include "traffic/modbus_frame_decoder.h"
#include "traffic/traffic_row.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velto::traffic {

// What one frame of a byte protocol is.
struct FrameLabel {
    Protocol protocol = Protocol::Unknown;
    QString summary;
    // Non-empty when the frame shows a failure (bad checksum, an answer that rejects or does not
    // fit the request); it becomes a row of its own after the frame's.
    QString failure;
};

// What a line remembers between frames: answers are read against the command before them.
struct LabelContext {
    quint8 radarCommand = 0; // code of the last radar command sent
    int radarBlocks = 0; // monitoring blocks received since it
    quint8 modbusFunction = 0; // of the last Modbus request sent
    std::optional<ModbusRequestInfo> modbusRequest; // its registers, when it names them
};

// A frame the program wrote: the protocol is told by its first bytes.
FrameLabel labelSent(QByteArrayView frame, LabelContext& context);
// A frame received on a line whose last request was of `protocol` (or that carries only it).
FrameLabel labelReceived(QByteArrayView frame, Protocol protocol, LabelContext& context);
// Length of the first whole frame of `protocol` at the start of the bytes received: the frame's own
// length, or of the noise before the next frame's start; 0 while it cannot be told yet.
qsizetype receivedFrameLength(QByteArrayView pending, Protocol protocol);
// Whether a request of this protocol is answered.
bool expectsAnswer(Protocol protocol);
// The bytes of a request for people: hex, then what they are where a protocol knows them.
QString describeRequest(QByteArrayView bytes);

// The protocols one by one (the dispatch above picks them).
FrameLabel labelVeltoRequest(QByteArrayView frame);
// The address of a well-formed Velto request; nothing for any other bytes.
std::optional<int> veltoRequestAddress(QByteArrayView frame);
FrameLabel labelVeltoReply(QByteArrayView frame);
FrameLabel labelCalibrationMessage(QByteArrayView frame);
FrameLabel labelRadarCommand(QByteArrayView frame, LabelContext& context);
FrameLabel labelRadarReply(QByteArrayView frame, LabelContext& context);
qsizetype radarFrameLength(QByteArrayView pending);
FrameLabel labelFlashMessage(QByteArrayView frame);
FrameLabel labelFlashAnswer(QByteArrayView frame);
qsizetype flashFrameLength(QByteArrayView pending);
// A line of the sensor's debug text: what the parsing of a capture makes of it, and the line.
FrameLabel labelDebugLine(QByteArrayView frame);
// A Modbus RTU request is told by its CRC: a frame whose last two bytes are the CRC of the rest.
bool isModbusRequest(QByteArrayView frame);
FrameLabel labelModbusRequest(QByteArrayView frame, LabelContext& context);
FrameLabel labelModbusAnswer(QByteArrayView frame, const LabelContext& context);

} // namespace velto::traffic
