#include "serial/in_process_link.h"

#include "serial/in_process_wire.h"
#include "serial/qt_byte_link.h"
#include "serial/serial_settings.h"

namespace velto::serial {

InProcessLink::InProcessLink(QObject* parent)
    : ByteLink(parent)
{
    // Zero-interval single shots: the next turn of the event loop, never inside the caller's call.
    for (QTimer* timer : { &m_deliverTimer, &m_announceTimer }) {
        timer->setSingleShot(true);
        timer->setInterval(0);
    }
    connect(&m_deliverTimer, &QTimer::timeout, this, &InProcessLink::deliver);
    connect(&m_announceTimer, &QTimer::timeout, this, &InProcessLink::announce);
}

InProcessLink::~InProcessLink()
{
    if (m_wire)
        m_wire->detach(*this);
}

bool InProcessLink::open(const QString& portName, const QString& settings)
{
    close();
    const std::optional<SerialSettings> parsed = SerialSettings::parse(settings);
    if (!parsed) {
        m_errorText = QStringLiteral("Invalid port settings \"%1\" (expected e.g. 9600,n,8,1)").arg(settings);
        return false;
    }
    InProcessWire* wire = InProcessWire::find(portName);
    if (!wire) {
        m_errorText = QStringLiteral("Cannot open %1: %2")
                          .arg(portName, QtByteLink::textFor(QSerialPort::DeviceNotFoundError));
        return false;
    }
    if (!wire->attach(*this, parsed->charactersPerSecond())) {
        m_errorText = QStringLiteral("Cannot open %1: %2")
                          .arg(portName, QtByteLink::textFor(QSerialPort::PermissionError));
        return false;
    }
    m_wire = wire;
    m_portName = portName;
    m_open = true;
    ++m_generation;
    m_errorText.clear();
    // The device learns of the opening as it would from a port clearing its input.
    m_outgoing.append(Outgoing { true, {} });
    m_deliverTimer.start();
    return true;
}

void InProcessLink::close()
{
    ++m_generation;
    if (!m_open)
        return;
    if (m_wire)
        m_wire->detach(*this);
    m_wire = nullptr;
    m_outgoing.clear();
    m_unsent = 0;
    m_deliverTimer.stop();
    m_announceTimer.stop();
    m_open = false;
    emit closed();
}

bool InProcessLink::write(const QByteArray& bytes)
{
    if (!m_open || !m_wire)
        return false;
    if (bytes.isEmpty())
        return true;
    m_outgoing.append(Outgoing { false, bytes });
    m_unsent += bytes.size();
    m_deliverTimer.start();
    return true;
}

QByteArray InProcessLink::readAll()
{
    return m_open && m_wire ? m_wire->takeForProgram() : QByteArray();
}

qint64 InProcessLink::bytesAvailable() const
{
    return m_open && m_wire ? m_wire->unread() : 0;
}

qint64 InProcessLink::bytesToWrite() const
{
    return m_unsent;
}

bool InProcessLink::setRts(bool)
{
    return m_open && m_wire;
}

void InProcessLink::clearInput()
{
    if (!m_open || !m_wire)
        return;
    m_wire->dropForProgram();
    m_outgoing.append(Outgoing { true, {} });
    m_deliverTimer.start();
}

void InProcessLink::deviceSent()
{
    m_announceTimer.start();
}

void InProcessLink::wireGone()
{
    m_wire = nullptr;
    if (!m_open)
        return;
    m_errorText = QtByteLink::textFor(QSerialPort::ResourceError);
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] { dropLine(generation); });
}

void InProcessLink::deliver()
{
    // Whoever hears of the bytes may close or reopen the link; what was queued before that is void.
    const quint64 generation = m_generation;
    while (!m_outgoing.isEmpty() && m_wire && generation == m_generation) {
        const Outgoing next = m_outgoing.takeFirst();
        if (next.inputCleared) {
            emit m_wire->inputCleared();
            continue;
        }
        m_unsent -= next.bytes.size();
        emit m_wire->received(next.bytes);
        if (generation == m_generation)
            emit bytesWritten(next.bytes.size());
    }
}

void InProcessLink::announce()
{
    if (bytesAvailable() > 0)
        emit readyRead();
}

void InProcessLink::dropLine(quint64 generation)
{
    if (generation != m_generation || !m_open)
        return;
    const QString text = m_errorText;
    emit portError(QSerialPort::ResourceError);
    emit errorOccurred(text);
    if (generation != m_generation)
        return;
    close();
    m_errorText = text;
    emit lineLost(text);
}

} // namespace velto::serial
