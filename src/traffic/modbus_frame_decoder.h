#pragma once

#include "traffic/traffic_row.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velto::traffic {

// What a request asked for; its answer is read against it (which registers the values are).
struct ModbusRequestInfo {
    quint8 slave = 0;
    quint8 function = 0;
    quint16 start = 0;
    quint16 count = 0;
};

struct ModbusFrameInfo {
    bool crcOk = false;
    bool exception = false;
    // Set for a well-formed request, so the answer that follows can be read against it.
    std::optional<ModbusRequestInfo> request;
    QString summary;
};

// Reads one Modbus RTU frame (slave, function, data, CRC low byte first) as a master's request (Tx)
// or a slave's answer (Rx): slave, function, register range or values, exception name, CRC good or
// bad. Any bytes at all give a summary; nothing is read past the view.
ModbusFrameInfo decodeModbusRtu(QByteArrayView frame, Direction direction,
    const std::optional<ModbusRequestInfo>& lastRequest = std::nullopt);

} // namespace velto::traffic
