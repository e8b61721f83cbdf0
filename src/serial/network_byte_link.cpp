#include "serial/network_byte_link.h"

#include "serial/keep_alive.h"

namespace velto::serial {

NetworkByteLink::NetworkByteLink(QObject* parent)
    : ByteLink(parent)
{
    m_socket.setReadBufferSize(kInputBufferBytes);
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setTimerType(Qt::PreciseTimer);
    m_negotiationTimer.setSingleShot(true);
    m_negotiationTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_socket, &QTcpSocket::connected, this, &NetworkByteLink::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetworkByteLink::pump);
    connect(&m_socket, &QTcpSocket::bytesWritten, this, &NetworkByteLink::onSocketBytesWritten);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetworkByteLink::onSocketError);
    // A clean close by the server also comes as RemoteHostClosedError; this catches a close without it.
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_state != State::Closed)
            fail(QStringLiteral("Network line to %1 lost: the server closed the connection")
                     .arg(m_address.endpoint()));
    });
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("Cannot connect to %1: no answer within %2 s")
                 .arg(m_address.endpoint())
                 .arg(kConnectTimeoutMs / 1000));
    });
    connect(&m_negotiationTimer, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("No telnet answer from %1 within %2 s: for a server in raw mode use tcp://%1")
                 .arg(m_address.endpoint())
                 .arg(kNegotiationTimeoutMs / 1000));
    });
}

NetworkByteLink::~NetworkByteLink()
{
    // No signals to a half-destroyed owner.
    m_socket.disconnect(this);
    m_socket.abort();
}

bool NetworkByteLink::open(const QString& portName, const QString& settings)
{
    close();
    const std::optional<NetworkAddress> address = NetworkAddress::parse(portName);
    if (!address) {
        m_errorText = QStringLiteral("Invalid network address \"%1\" (expected %2)")
                          .arg(portName, kNetworkAddressForms);
        return false;
    }
    if (address->kind == NetworkKind::ModbusTcp) {
        m_errorText
            = QStringLiteral("%1 carries Modbus TCP only: the byte protocols need tcp:// or rfc2217://")
                  .arg(address->toString());
        return false;
    }
    const std::optional<SerialSettings> parsed = SerialSettings::parse(settings);
    if (!parsed) {
        m_errorText = QStringLiteral("Invalid port settings \"%1\" (expected e.g. 9600,n,8,1)").arg(settings);
        return false;
    }
    m_address = *address;
    m_settings = *parsed;
    m_portName = address->toString();
    m_session = ComPortSession();
    m_errorText.clear();
    ++m_generation;
    m_dropQueued = false;
    m_state = State::Connecting;
    m_connectTimer.start(kConnectTimeoutMs);
    m_socket.connectToHost(m_address.host, m_address.port);
    return true;
}

void NetworkByteLink::close()
{
    ++m_generation;
    m_dropQueued = false;
    m_pumpQueued = false;
    m_connectTimer.stop();
    m_negotiationTimer.stop();
    const bool wasOpen = m_state != State::Closed;
    m_state = State::Closed;
    m_socket.abort();
    m_input.clear();
    m_held.clear();
    m_inFlight.clear();
    m_wireDone = 0;
    if (wasOpen)
        emit closed();
}

bool NetworkByteLink::isOpen() const
{
    return m_state != State::Closed;
}

QString NetworkByteLink::portName() const
{
    return m_portName;
}

bool NetworkByteLink::write(const QByteArray& bytes)
{
    if (m_state == State::Closed)
        return false;
    m_held += bytes;
    flushHeld();
    return true;
}

QByteArray NetworkByteLink::readAll()
{
    QByteArray out = std::exchange(m_input, {});
    // Reading paused at the input limit; it goes on now that there is room.
    if (m_socket.bytesAvailable() > 0)
        queuePump();
    return out;
}

qint64 NetworkByteLink::bytesAvailable() const
{
    return m_input.size();
}

qint64 NetworkByteLink::bytesToWrite() const
{
    qint64 raw = m_held.size();
    for (const Segment& segment : m_inFlight)
        raw += segment.raw;
    return raw;
}

bool NetworkByteLink::setRts(bool on)
{
    if (m_state == State::Closed)
        return false;
    if (!isTelnet()) {
        m_errorText = QStringLiteral("Cannot set RTS: a raw TCP line has no control lines (rfc2217:// has)");
        return false;
    }
    // After the bytes already queued, so the line turns around where the protocol asked.
    flushHeld();
    writeWire(m_session.setRts(on), 0);
    return true;
}

void NetworkByteLink::clearInput()
{
    if (m_state == State::Closed)
        return;
    m_input.clear();
    const QByteArray waiting = m_socket.readAll();
    if (isTelnet()) {
        // The telnet commands among the dropped bytes still count.
        writeWire(m_session.receive(waiting).reply, 0);
        if (m_state == State::Ready)
            writeWire(m_session.purgeInput(), 0);
    }
}

QString NetworkByteLink::errorText() const
{
    return m_errorText;
}

void NetworkByteLink::onConnected()
{
    if (m_state != State::Connecting)
        return;
    m_connectTimer.stop();
    keepConnectionAlive(m_socket);
    if (!isTelnet()) {
        becomeReady();
        return;
    }
    m_state = State::Negotiating;
    m_negotiationTimer.start(kNegotiationTimeoutMs);
    writeWire(m_session.start(m_settings), 0);
}

void NetworkByteLink::becomeReady()
{
    m_negotiationTimer.stop();
    m_state = State::Ready;
    flushHeld();
    emit ready();
}

void NetworkByteLink::onSocketError(QAbstractSocket::SocketError)
{
    if (m_state == State::Closed)
        return;
    if (m_state == State::Connecting)
        fail(QStringLiteral("Cannot connect to %1: %2").arg(m_address.endpoint(), m_socket.errorString()));
    else
        fail(QStringLiteral("Network line to %1 lost: %2").arg(m_address.endpoint(), m_socket.errorString()));
}

void NetworkByteLink::onSocketBytesWritten(qint64 bytes)
{
    qint64 raw = 0;
    m_wireDone += bytes;
    while (!m_inFlight.empty() && m_wireDone >= m_inFlight.front().wire) {
        m_wireDone -= m_inFlight.front().wire;
        raw += m_inFlight.front().raw;
        m_inFlight.pop_front();
    }
    if (raw > 0)
        emit bytesWritten(raw);
}

void NetworkByteLink::queuePump()
{
    if (m_pumpQueued)
        return;
    m_pumpQueued = true;
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation != m_generation)
            return;
        m_pumpQueued = false;
        pump();
    });
}

void NetworkByteLink::pump()
{
    if (m_state == State::Closed)
        return;
    const qsizetype before = m_input.size();
    while (m_input.size() < kInputBufferBytes && m_socket.bytesAvailable() > 0) {
        const QByteArray chunk = m_socket.read(kInputBufferBytes - m_input.size());
        if (chunk.isEmpty())
            break;
        if (!isTelnet()) {
            m_input += chunk;
            continue;
        }
        ComPortSession::Received received = m_session.receive(chunk);
        m_input += received.data;
        writeWire(received.reply, 0);
    }
    if (isTelnet() && m_state == State::Negotiating && m_session.negotiated()) {
        if (m_session.comPortRefused()) {
            fail(QStringLiteral("%1 refused COM-port control, so the port settings cannot be set from here: "
                                "for a server in raw mode use tcp://%1")
                     .arg(m_address.endpoint()));
            return;
        }
        becomeReady();
    }
    // A server that asked us to hold back has resumed.
    flushHeld();
    if (m_input.size() > before)
        emit readyRead();
}

void NetworkByteLink::flushHeld()
{
    if (m_state != State::Ready || m_held.isEmpty() || (isTelnet() && m_session.flowSuspended()))
        return;
    const QByteArray raw = std::exchange(m_held, {});
    writeWire(isTelnet() ? ComPortSession::encode(raw) : raw, raw.size());
}

void NetworkByteLink::writeWire(const QByteArray& wire, qint64 raw)
{
    if (wire.isEmpty() || m_state == State::Closed)
        return;
    // QTcpSocket keeps what the system does not take yet; it refuses only on a dead socket.
    const qint64 taken = m_socket.write(wire);
    if (taken != wire.size()) {
        fail(QStringLiteral("Network line to %1 lost: %2").arg(m_address.endpoint(), m_socket.errorString()));
        return;
    }
    m_inFlight.push_back({ wire.size(), raw });
}

void NetworkByteLink::fail(const QString& text)
{
    if (m_dropQueued || m_state == State::Closed)
        return;
    m_dropQueued = true;
    m_errorText = text;
    emit portError(QSerialPort::ResourceError);
    emit errorOccurred(text);
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] { dropLine(generation); });
}

void NetworkByteLink::dropLine(quint64 generation)
{
    if (generation != m_generation)
        return;
    const QString text = m_errorText;
    close();
    m_errorText = text;
    emit lineLost(text);
}

} // namespace velto::serial
