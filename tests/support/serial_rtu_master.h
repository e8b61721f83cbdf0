#pragma once

#include "modbus/rtu_master.h"
#include "serial/qt_byte_link.h"
#include "serial/tapped_byte_link.h"

namespace velto::test {

struct SerialRtuLine {
    serial::QtByteLink port;
    serial::TappedByteLink tap { port };
};

// The RTU master on a serial port of its own under the traffic tap, as the program builds it.
class SerialRtuMaster : private SerialRtuLine, public modbus::RtuMaster {
public:
    SerialRtuMaster()
        : RtuMaster(SerialRtuLine::tap)
    {
    }
    serial::TappedByteLink& tappedLine() { return SerialRtuLine::tap; }
};

} // namespace velto::test
