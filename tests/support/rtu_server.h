#pragma once

#include <QModbusRtuSerialServer>
#include <memory>

namespace velto::test {

// Qt's own RTU server, the independent peer of the project's master, listening at 9600,n,8,1 on
// `devicePath` with holding registers 0..count-1 (all zero). Null when it cannot connect.
std::unique_ptr<QModbusRtuSerialServer> startRtuServer(
    const QString& devicePath, int serverAddress, int holdingRegisters);

} // namespace velto::test
