#pragma once

#include <QByteArray>
#include <QStringView>

#include <optional>

namespace velto::traffic {

// One message of Qt's RTU client about its line (Qt 6 logs these under "qt.modbus" and
// "qt.modbus.lowlevel" when their debug output is on):
//   (RTU client) Sent Serial ADU: 0x01030000000305cb        the request as written to the port
//   (RTU client) Response buffer: "0103060000"              every byte received so far, unframed
//   (RTU client) Received ADU: "0103060000000000002175"     the answer the client cut from it
//   (RTU client) Pending buffer: "01"                       what is left behind that answer
//   (RTU client) Receive timeout: 0x0300000003              no answer in time
struct ModbusLogEvent {
    enum class Kind { Sent, ResponseBuffer, Received, PendingBuffer, ReceiveTimeout };
    Kind kind;
    QByteArray bytes; // empty for a time-out
};

// The event a message of those categories describes; empty for every other message (the server's,
// the PDU-level ones, anything unreadable).
std::optional<ModbusLogEvent> parseModbusLogMessage(QStringView message);

} // namespace velto::traffic
