#include "traffic/traffic_row.h"

namespace velto::traffic {

QString directionName(Direction direction)
{
    switch (direction) {
    case Direction::Tx:
        return QStringLiteral("TX");
    case Direction::Rx:
        return QStringLiteral("RX");
    case Direction::Event:
        break;
    }
    return QStringLiteral("--");
}

QString protocolName(Protocol protocol)
{
    switch (protocol) {
    case Protocol::ModbusRtu:
        return QStringLiteral("Modbus RTU");
    case Protocol::VeltoAscii:
        return QStringLiteral("Velto ASCII");
    case Protocol::Radar:
        return QStringLiteral("Radar");
    case Protocol::Flash:
        return QStringLiteral("Flash");
    case Protocol::Calibration:
        return QStringLiteral("Calibration");
    case Protocol::Debug:
        return QStringLiteral("Debug");
    case Protocol::State:
        return QStringLiteral("State");
    case Protocol::Unknown:
        break;
    }
    return QStringLiteral("Unknown");
}

} // namespace velto::traffic
