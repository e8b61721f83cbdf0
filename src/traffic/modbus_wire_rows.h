#pragma once

#include "traffic/modbus_frame_decoder.h"
#include "traffic/modbus_log_event.h"
#include "traffic/traffic_row.h"

#include <QList>

#include <optional>

namespace velto::traffic {

// The rows of the Modbus line, without their times, from what Qt's RTU client logs about its port
// and what the master reports of each request: the request and the answer as they were on the
// wire, decoded; bytes that never made a whole answer; and every failed request as a row of its own.
class ModbusWireRows {
public:
    QList<TrafficRow> logged(const ModbusLogEvent& event);
    // A request the master finished; nothing for those that never reached the line.
    QList<TrafficRow> finished(int status, const QString& errorText);
    void reset();

private:
    void takeUnframed(QList<TrafficRow>& rows);

    std::optional<ModbusRequestInfo> m_lastRequest;
    QByteArray m_unframed; // received, not (yet) part of an answer
};

} // namespace velto::traffic
