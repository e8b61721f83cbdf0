#include "flash/comm_event_text.h"

namespace velto::flash {

std::optional<QString> commEventText(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
        // Received bytes could not be read: they are lost.
        return QStringLiteral("Data Lost");
    case QSerialPort::WriteError:
        return QStringLiteral("Transmit buffer full");
    case QSerialPort::UnsupportedOperationError:
        // The port's settings could not be read back or applied.
        return QStringLiteral("Unexpected error retrieving DCB");
    default:
        return std::nullopt;
    }
}

} // namespace velto::flash
