#include "modbus/port_modbus_master.h"

#include "serial/network_address.h"

#include <QStringList>

namespace velto::modbus {

PortModbusMaster::PortModbusMaster(ModbusMaster& serialMaster, QObject* parent)
    : ModbusMaster(parent)
    , m_serial(serialMaster)
    , m_active(&serialMaster)
{
    m_tcp.setRxTimeout(m_serial.rxTimeout());
    m_tcp.setTxTimeout(m_serial.txTimeout());
    for (ModbusMaster* master : { &m_serial, static_cast<ModbusMaster*>(&m_tcp) }) {
        connect(master, &ModbusMaster::requestFinished, this, &ModbusMaster::requestFinished);
        connect(master, &ModbusMaster::lineLost, this, &ModbusMaster::lineLost);
    }
}

bool PortModbusMaster::openPort(const QString& portName, const QString& settings)
{
    closePort();
    const std::optional<serial::NetworkAddress> address = serial::NetworkAddress::parse(portName);
    const bool tcp = address && address->kind == serial::NetworkKind::ModbusTcp;
    m_active = tcp ? static_cast<ModbusMaster*>(&m_tcp) : &m_serial;
    return m_active->openPort(portName, settings);
}

void PortModbusMaster::closePort()
{
    m_serial.closePort();
    m_tcp.closePort();
}

void PortModbusMaster::setRxTimeout(int ms)
{
    m_serial.setRxTimeout(ms);
    m_tcp.setRxTimeout(ms);
}

void PortModbusMaster::setTxTimeout(int ms)
{
    m_serial.setTxTimeout(ms);
    m_tcp.setTxTimeout(ms);
}

void PortModbusMaster::readRegisters(int slave, int start, int count, QObject* context, Done done)
{
    m_active->readRegisters(slave, start, count, context, std::move(done));
}

void PortModbusMaster::writeRegister(int slave, int reg, quint16 value, QObject* context, Done done)
{
    m_active->writeRegister(slave, reg, value, context, std::move(done));
}

void PortModbusMaster::writeRegisters(
    int slave, int start, const QList<quint16>& values, QObject* context, Done done)
{
    m_active->writeRegisters(slave, start, values, context, std::move(done));
}

void PortModbusMaster::probeIllegalFunction(
    int slave, int start, const QList<quint16>& values, QObject* context, Done done)
{
    m_active->probeIllegalFunction(slave, start, values, context, std::move(done));
}

QString PortModbusMaster::aboutText() const
{
    // Each names its stack on its first line; the Qt version once, last.
    return QStringList { m_serial.aboutText().section('\n', 0, 0), m_tcp.aboutText().section('\n', 0, 0),
        QStringLiteral("Qt runtime version %1").arg(QString::fromLatin1(qVersion())) }
        .join('\n');
}

} // namespace velto::modbus
