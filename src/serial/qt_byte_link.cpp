#include "serial/qt_byte_link.h"

#include "serial/port_access.h"
#include "serial/serial_settings.h"

#include <QTimer>

namespace velto::serial {

namespace {

// Restores a flag on scope exit; the calls it guards can emit errorOccurred synchronously.
class QuietScope {
public:
    explicit QuietScope(bool& flag)
        : m_flag(flag)
        , m_old(flag)
    {
        m_flag = true;
    }
    ~QuietScope() { m_flag = m_old; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

private:
    bool& m_flag;
    bool m_old;
};

} // namespace

QtByteLink::QtByteLink(QObject* parent)
    : ByteLink(parent)
{
    m_port.setReadBufferSize(kInputBufferBytes);
    connect(&m_port, &QSerialPort::readyRead, this, &ByteLink::readyRead);
    connect(&m_port, &QSerialPort::bytesWritten, this, &ByteLink::bytesWritten);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtByteLink::onPortError);
}

QtByteLink::~QtByteLink()
{
    // No signals to a half-destroyed owner.
    m_port.disconnect(this);
    m_port.close();
}

bool QtByteLink::open(const QString& portName, const QString& settings)
{
    close();
    const std::optional<SerialSettings> parsed = SerialSettings::parse(settings);
    if (!parsed) {
        m_errorText = QStringLiteral("Invalid port settings \"%1\" (expected e.g. 9600,n,8,1)").arg(settings);
        return false;
    }
    QuietScope quiet(m_quiet);
    m_port.setPortName(portName);
    m_portName = portName;
    parsed->applyTo(m_port);
    ++m_generation;
    m_dropQueued = false;
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_errorText = QStringLiteral("Cannot open %1: %2").arg(portName, describe(m_port.error()));
        if (const QString advice = portAccessAdvice(portName); !advice.isEmpty())
            m_errorText += QStringLiteral(". ") + advice;
        return false;
    }
    // Bytes the driver queued before the port was ours answer no request of this session: a line
    // flooded before a reconnect would otherwise hand them to the first reply.
    m_port.clear(QSerialPort::Input);
    m_port.clearError();
    m_errorText.clear();
    return true;
}

void QtByteLink::close()
{
    ++m_generation;
    m_dropQueued = false;
    if (!m_port.isOpen())
        return;
    m_port.close();
    emit closed();
}

bool QtByteLink::isOpen() const
{
    return m_port.isOpen();
}

QString QtByteLink::portName() const
{
    // As given: QSerialPort shortens "/dev/ttyUSB0" to "ttyUSB0".
    return m_portName;
}

bool QtByteLink::write(const QByteArray& bytes)
{
    if (!m_port.isOpen())
        return false;
    return m_port.write(bytes) == bytes.size();
}

QByteArray QtByteLink::readAll()
{
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

qint64 QtByteLink::bytesAvailable() const
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

qint64 QtByteLink::bytesToWrite() const
{
    return m_port.isOpen() ? m_port.bytesToWrite() : 0;
}

bool QtByteLink::setRts(bool on)
{
    if (!m_port.isOpen())
        return false;
    QuietScope quiet(m_quiet);
    if (m_port.setRequestToSend(on))
        return true;
    m_errorText = QStringLiteral("Cannot set RTS: %1").arg(describe(m_port.error()));
    m_port.clearError();
    return false;
}

void QtByteLink::clearInput()
{
    if (!m_port.isOpen())
        return;
    QuietScope quiet(m_quiet);
    m_port.clear(QSerialPort::Input);
    m_port.clearError();
}

QString QtByteLink::errorText() const
{
    return m_errorText;
}

QString QtByteLink::textFor(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return QStringLiteral("No error");
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("Serial port not found");
    case QSerialPort::PermissionError:
        return QStringLiteral("Serial port is in use or access was denied");
    case QSerialPort::OpenError:
        return QStringLiteral("Serial port is already open");
    case QSerialPort::NotOpenError:
        return QStringLiteral("Serial port is not open");
    case QSerialPort::WriteError:
        return QStringLiteral("Write error on the serial port");
    case QSerialPort::ReadError:
        return QStringLiteral("Data Lost: read error on the serial port");
    case QSerialPort::ResourceError:
        return QStringLiteral("Serial port is no longer available (device removed or line closed)");
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("Operation not supported by the serial port");
    case QSerialPort::TimeoutError:
        return QStringLiteral("Serial port operation timed out");
    case QSerialPort::UnknownError:
        break;
    }
    return QStringLiteral("Unexpected serial port error");
}

bool QtByteLink::isLineLost(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError;
}

QString QtByteLink::describe(QSerialPort::SerialPortError error) const
{
    const QString system = m_port.errorString();
    const QString text = textFor(error);
    return system.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, system);
}

void QtByteLink::onPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || m_quiet)
        return;
    m_errorText = describe(error);
    if (!isLineLost(error)) {
        emit portError(error);
        emit errorOccurred(m_errorText);
        return;
    }
    // A dead descriptor keeps the read notifier firing; one report and one close are enough. The
    // close runs on the next turn because QSerialPort is still inside its notification here.
    if (m_dropQueued)
        return;
    m_dropQueued = true;
    emit portError(error);
    emit errorOccurred(m_errorText);
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] { dropLine(generation); });
}

void QtByteLink::dropLine(quint64 generation)
{
    if (generation != m_generation)
        return;
    const QString text = m_errorText;
    close();
    m_errorText = text;
    emit lineLost(text);
}

} // namespace velto::serial
