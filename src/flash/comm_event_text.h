#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

namespace velto::flash {

// The line failures that fail a try of a flash exchange, in the words of the serial control's
// events ("Data Lost", "Transmit buffer full", ...). The serial port reports fewer kinds than the
// control did; kinds without a counterpart give nullopt and are shown in the link's own words.
std::optional<QString> commEventText(QSerialPort::SerialPortError error);

} // namespace velto::flash
