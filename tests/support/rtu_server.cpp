#include "support/rtu_server.h"

#include <QSerialPort>

namespace velto::test {

std::unique_ptr<QModbusRtuSerialServer> startRtuServer(
    const QString& devicePath, int serverAddress, int holdingRegisters)
{
    auto server = std::make_unique<QModbusRtuSerialServer>();
    server->setConnectionParameter(QModbusDevice::SerialPortNameParameter, devicePath);
    server->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, QSerialPort::Baud9600);
    server->setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    server->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    server->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    server->setServerAddress(serverAddress);
    QModbusDataUnitMap map;
    map.insert(QModbusDataUnit::HoldingRegisters,
        { QModbusDataUnit::HoldingRegisters, 0, quint16(holdingRegisters) });
    if (!server->setMap(map))
        return nullptr;
    // Qt's server spins on a dead line just like the client; a test that cuts the line must not
    // measure that.
    QObject::connect(
        server.get(), &QModbusDevice::errorOccurred, server.get(),
        [s = server.get()] { s->disconnectDevice(); }, Qt::QueuedConnection);
    if (!server->connectDevice())
        return nullptr;
    return server;
}

} // namespace velto::test
