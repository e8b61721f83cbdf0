#include "serial/port_link.h"

#include "serial/in_process_wire.h"
#include "serial/network_address.h"

#include <QMetaMethod>

namespace velto::serial {

PortLink::PortLink(QObject* parent)
    : ByteLink(parent)
    , m_active(&m_serial)
{
    // Every signal of the interface passes through from both; only the open one has anything to say.
    const QMetaObject& meta = ByteLink::staticMetaObject;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() != QMetaMethod::Signal)
            continue;
        QMetaObject::connect(&m_serial, i, this, i);
        QMetaObject::connect(&m_network, i, this, i);
        QMetaObject::connect(&m_inProcess, i, this, i);
    }
}

bool PortLink::open(const QString& portName, const QString& settings)
{
    close();
    if (InProcessWire::looksLikeOne(portName))
        m_active = &m_inProcess;
    else if (NetworkAddress::looksLikeOne(portName))
        m_active = &m_network;
    else
        m_active = &m_serial;
    return m_active->open(portName, settings);
}

void PortLink::close()
{
    m_serial.close();
    m_network.close();
    m_inProcess.close();
}

bool PortLink::isOpen() const
{
    return active().isOpen();
}

QString PortLink::portName() const
{
    return active().portName();
}

bool PortLink::write(const QByteArray& bytes)
{
    return active().write(bytes);
}

QByteArray PortLink::readAll()
{
    return active().readAll();
}

qint64 PortLink::bytesAvailable() const
{
    return active().bytesAvailable();
}

qint64 PortLink::bytesToWrite() const
{
    return active().bytesToWrite();
}

bool PortLink::setRts(bool on)
{
    return active().setRts(on);
}

void PortLink::clearInput()
{
    active().clearInput();
}

QString PortLink::errorText() const
{
    return active().errorText();
}

} // namespace velto::serial
