#include "traffic/modbus_wire_rows.h"

#include "modbus/qt_modbus_master.h"

namespace velto::traffic {

namespace {

TrafficRow row(Direction direction, const QByteArray& bytes, const QString& summary, bool failure = false)
{
    TrafficRow r;
    r.direction = direction;
    r.protocol = Protocol::ModbusRtu;
    r.bytes = bytes;
    r.summary = summary;
    r.failure = failure;
    return r;
}

} // namespace

QList<TrafficRow> ModbusWireRows::logged(const ModbusLogEvent& event)
{
    QList<TrafficRow> rows;
    switch (event.kind) {
    case ModbusLogEvent::Kind::Sent: {
        takeUnframed(rows);
        const ModbusFrameInfo info = decodeModbusRtu(event.bytes, Direction::Tx);
        m_lastRequest = info.request;
        rows.append(row(Direction::Tx, event.bytes, info.summary));
        break;
    }
    case ModbusLogEvent::Kind::ResponseBuffer:
    case ModbusLogEvent::Kind::PendingBuffer:
        m_unframed = event.bytes;
        break;
    case ModbusLogEvent::Kind::Received: {
        if (m_unframed.startsWith(event.bytes))
            m_unframed.remove(0, event.bytes.size());
        else
            m_unframed.clear();
        const ModbusFrameInfo info = decodeModbusRtu(event.bytes, Direction::Rx, m_lastRequest);
        rows.append(row(Direction::Rx, event.bytes, info.summary));
        if (!info.crcOk)
            rows.append(
                row(Direction::Event, {}, QStringLiteral("Modbus answer with a bad CRC, discarded"), true));
        break;
    }
    case ModbusLogEvent::Kind::ReceiveTimeout:
        takeUnframed(rows);
        break;
    }
    return rows;
}

QList<TrafficRow> ModbusWireRows::finished(int status, const QString& errorText)
{
    QList<TrafficRow> rows;
    // Refused before anything was sent: not line traffic.
    if (status == modbus::StatusOk || status == modbus::StatusBusy || status == modbus::StatusNotOpen)
        return rows;
    takeUnframed(rows);
    rows.append(row(Direction::Event, {}, errorText, true));
    return rows;
}

void ModbusWireRows::reset()
{
    m_lastRequest.reset();
    m_unframed.clear();
}

void ModbusWireRows::takeUnframed(QList<TrafficRow>& rows)
{
    if (m_unframed.isEmpty())
        return;
    rows.append(row(Direction::Rx, m_unframed, QStringLiteral("not a whole answer")));
    m_unframed.clear();
}

} // namespace velto::traffic
