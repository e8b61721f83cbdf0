#include "modbus/tcp_modbus_master.h"

#include "modbus/answer_check.h"
#include "modbus/modbus_exception.h"
#include "modbus/pdu_payload.h"
#include "serial/keep_alive.h"

#include <QDataStream>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusTcpClient>
#include <QTcpSocket>
#include <QVariant>

#include <algorithm>

namespace velto::modbus {

namespace {

// QModbusClient ignores time-outs below this.
constexpr int kMinStackTimeoutMs = 10;

// The exception code of an exception answer, 0 otherwise, read from the wire bytes: Qt keeps the
// function code sign-extended, so its inline exceptionCode() trips the undefined-behaviour sanitizer.
int exceptionCodeOf(const QModbusResponse& response)
{
    QByteArray wire;
    QDataStream stream(&wire, QIODevice::WriteOnly);
    stream << response;
    if (wire.size() < 2 || !(quint8(wire.at(0)) & QModbusPdu::ExceptionByte))
        return 0;
    return quint8(wire.at(1));
}

int stackTimeout(int rxTimeoutMs)
{
    return std::max(kMinStackTimeoutMs, rxTimeoutMs);
}

} // namespace

TcpModbusMaster::TcpModbusMaster(QObject* parent)
    : ModbusMaster(parent)
    , m_client(new QModbusTcpClient(this))
{
    m_client->setNumberOfRetries(0);
    m_client->setTimeout(stackTimeout(m_rxTimeoutMs));
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setTimerType(Qt::PreciseTimer);
    m_watchdog.setSingleShot(true);
    m_watchdog.setTimerType(Qt::PreciseTimer);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        loseLine(QStringLiteral("Cannot connect to %1: no answer within %2 s")
                     .arg(m_address.endpoint())
                     .arg(kConnectTimeoutMs / 1000));
    });
    connect(&m_watchdog, &QTimer::timeout, this, &TcpModbusMaster::onWatchdog);
    connect(m_client, &QModbusDevice::stateChanged, this, &TcpModbusMaster::onStateChanged);
    connect(m_client, &QModbusDevice::errorOccurred, this, &TcpModbusMaster::onDeviceError);
    m_lastErrorText = QStringLiteral("No error");
}

TcpModbusMaster::~TcpModbusMaster()
{
    // Nothing is called back once the master is gone.
    m_client->disconnect(this);
    takePending();
    m_client->disconnectDevice();
}

bool TcpModbusMaster::openPort(const QString& portName, const QString&)
{
    closePort();
    const std::optional<serial::NetworkAddress> address = serial::NetworkAddress::parse(portName);
    if (!address || address->kind != serial::NetworkKind::ModbusTcp) {
        m_lastErrorText
            = QStringLiteral("Cannot open %1: not a Modbus TCP address (expected mbtcp://HOST:PORT)")
                  .arg(portName);
        return false;
    }
    m_address = *address;
    m_client->setConnectionParameter(QModbusDevice::NetworkAddressParameter, m_address.host);
    m_client->setConnectionParameter(QModbusDevice::NetworkPortParameter, int(m_address.port));
    m_client->setTimeout(stackTimeout(m_rxTimeoutMs));
    m_client->setNumberOfRetries(0);
    ++m_generation;
    m_dropQueued = false;
    m_connected = false;
    m_open = true;
    m_connectTimer.start(kConnectTimeoutMs);
    if (!m_client->connectDevice()) {
        m_open = false;
        m_connectTimer.stop();
        m_lastErrorText = QStringLiteral("Cannot open %1: %2").arg(portName, m_client->errorString());
        return false;
    }
    m_lastErrorText = QStringLiteral("No error");
    return true;
}

void TcpModbusMaster::closePort()
{
    ++m_generation;
    m_dropQueued = false;
    m_connectTimer.stop();
    std::optional<Pending> pending = takePending();
    m_open = false;
    m_connected = false;
    if (m_client->state() != QModbusDevice::UnconnectedState)
        m_client->disconnectDevice();
    if (pending)
        completeLater(std::move(pending->caller),
            { StatusAborted, {}, QStringLiteral("Request aborted: the port was closed") });
}

void TcpModbusMaster::setRxTimeout(int ms)
{
    m_rxTimeoutMs = std::clamp(ms, kMinTimeoutMs, kMaxTimeoutMs);
    m_client->setTimeout(stackTimeout(m_rxTimeoutMs));
}

void TcpModbusMaster::setTxTimeout(int ms)
{
    m_txTimeoutMs = std::clamp(ms, kMinTimeoutMs, kMaxTimeoutMs);
}

void TcpModbusMaster::readRegisters(int slave, int start, int count, QObject* context, Done done)
{
    send({ Kind::Read, slave, count, {} }, context, std::move(done), [=, this] {
        return m_client->sendReadRequest(
            QModbusDataUnit(QModbusDataUnit::HoldingRegisters, start, quint16(count)), slave);
    });
}

void TcpModbusMaster::writeRegister(int slave, int reg, quint16 value, QObject* context, Done done)
{
    const QByteArray payload = writeSinglePayload(reg, value);
    send({ Kind::WriteOne, slave, 0, payload }, context, std::move(done), [=, this] {
        return m_client->sendRawRequest(QModbusRequest(QModbusPdu::WriteSingleRegister, payload), slave);
    });
}

void TcpModbusMaster::writeRegisters(
    int slave, int start, const QList<quint16>& values, QObject* context, Done done)
{
    // Write Multiple Registers on the wire whatever the count; Qt would send one value as a single.
    const QByteArray payload = writeMultiplePayload(start, values);
    send({ Kind::WriteMany, slave, 0, payload }, context, std::move(done), [=, this] {
        return m_client->sendRawRequest(QModbusRequest(QModbusPdu::WriteMultipleRegisters, payload), slave);
    });
}

void TcpModbusMaster::probeIllegalFunction(
    int slave, int start, const QList<quint16>& values, QObject* context, Done done)
{
    const QByteArray payload = writeMultiplePayload(start, values);
    send({ Kind::Raw, slave, 0, {} }, context, std::move(done), [=, this] {
        return m_client->sendRawRequest(
            QModbusRequest(QModbusPdu::FunctionCode(kProbeFunctionCode), payload), slave);
    });
}

QString TcpModbusMaster::aboutText() const
{
    return QStringLiteral("Modbus stack: Qt Serial Bus Modbus TCP client\nQt runtime version %1")
        .arg(QString::fromLatin1(qVersion()));
}

void TcpModbusMaster::send(Request request, QObject* context, Done done, std::function<QModbusReply*()> issue)
{
    Caller caller { context, context != nullptr, std::move(done) };
    if (const std::optional<ModbusResult> refusal = refuseSlave(request.slave)) {
        completeLater(std::move(caller), *refusal);
        return;
    }
    if (m_pending) {
        // Nothing was sent, so LastErrorText keeps describing the request in flight.
        completeLater(std::move(caller),
            { StatusBusy, {}, QStringLiteral("Busy: the previous Modbus request is still in progress") },
            false);
        return;
    }
    if (!m_open) {
        completeLater(std::move(caller), { StatusNotOpen, {}, QStringLiteral("Port not open") });
        return;
    }
    m_pending = Pending { std::move(request), std::move(issue), nullptr, std::move(caller) };
    if (m_connected)
        issuePending();
}

void TcpModbusMaster::issuePending()
{
    if (!m_pending || m_pending->reply)
        return;
    QModbusReply* reply = m_pending->issue();
    if (!reply) {
        std::optional<Pending> pending = takePending();
        completeLater(std::move(pending->caller),
            { StatusStackError, {}, QStringLiteral("Request not sent: %1").arg(m_client->errorString()) });
        return;
    }
    m_pending->reply = reply;
    connect(reply, &QModbusReply::finished, this, [this, reply] { onReplyFinished(reply); });
    m_watchdog.start(stackTimeout(m_rxTimeoutMs) + kWatchdogMarginMs);
    if (reply->isFinished()) {
        QPointer<QModbusReply> guard(reply);
        QTimer::singleShot(0, this, [this, guard] {
            if (guard)
                onReplyFinished(guard);
        });
    }
}

void TcpModbusMaster::onStateChanged(QModbusDevice::State state)
{
    if (!m_open)
        return;
    if (state == QModbusDevice::ConnectedState) {
        m_connectTimer.stop();
        m_connected = true;
        if (auto* socket = m_client->findChild<QTcpSocket*>())
            serial::keepConnectionAlive(*socket);
        issuePending();
    } else if (state == QModbusDevice::UnconnectedState) {
        loseLine(m_connected
                ? QStringLiteral("Network line to %1 lost: %2").arg(m_address.endpoint(), socketReason())
                : QStringLiteral("Cannot connect to %1: %2").arg(m_address.endpoint(), socketReason()));
    }
}

void TcpModbusMaster::onDeviceError(QModbusDevice::Error error)
{
    if (!m_open || error != QModbusDevice::ConnectionError)
        return;
    loseLine(m_connected
            ? QStringLiteral("Network line to %1 lost: %2").arg(m_address.endpoint(), socketReason())
            : QStringLiteral("Cannot connect to %1: %2").arg(m_address.endpoint(), socketReason()));
}

QString TcpModbusMaster::socketReason() const
{
    // The system's own words ("Connection refused"), not the stack's wrapping of them.
    if (const auto* socket = m_client->findChild<QTcpSocket*>();
        socket && socket->error() != QAbstractSocket::UnknownSocketError)
        return socket->errorString();
    const QString stack = m_client->errorString();
    return stack.isEmpty() ? QStringLiteral("the connection was closed") : stack;
}

void TcpModbusMaster::loseLine(const QString& text)
{
    if (!m_open || m_dropQueued)
        return;
    // On the next turn: the stack is still inside its socket's notification here.
    m_dropQueued = true;
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, text] { dropLine(generation, text); });
}

void TcpModbusMaster::dropLine(quint64 generation, const QString& text)
{
    if (generation != m_generation)
        return;
    ++m_generation;
    m_dropQueued = false;
    m_connectTimer.stop();
    std::optional<Pending> pending = takePending();
    m_open = false;
    m_connected = false;
    m_client->disconnectDevice();
    m_lastErrorText = text;
    if (pending)
        completeLater(std::move(pending->caller), { StatusLineLost, {}, text });
    emit lineLost(text);
}

void TcpModbusMaster::onReplyFinished(QModbusReply* reply)
{
    if (!m_pending || m_pending->reply != reply)
        return;
    const ModbusResult result = resultOf(m_pending->request, *reply);
    // We never abort a reply in flight ourselves (closePort lets it go first): the stack aborts it
    // because the connection went, which is the line's loss, and dropLine ends the request as such.
    if (result.status == StatusAborted) {
        loseLine(QStringLiteral("Network line to %1 lost: %2").arg(m_address.endpoint(), socketReason()));
        return;
    }
    std::optional<Pending> pending = takePending();
    completeLater(std::move(pending->caller), result);
}

void TcpModbusMaster::onWatchdog()
{
    std::optional<Pending> pending = takePending();
    if (pending)
        completeLater(std::move(pending->caller), { StatusTimeout, {}, timeoutText(pending->request.slave) });
}

QString TcpModbusMaster::timeoutText(int slave) const
{
    return QStringLiteral("Time-out: no response from slave %1 within %2 ms").arg(slave).arg(m_rxTimeoutMs);
}

ModbusResult TcpModbusMaster::resultOf(const Request& request, QModbusReply& reply) const
{
    const int exceptionCode = exceptionCodeOf(reply.rawResult());
    if (exceptionCode > 0)
        return { statusForException(exceptionCode), {}, exceptionText(exceptionCode) };
    switch (reply.error()) {
    case QModbusDevice::NoError:
        break;
    case QModbusDevice::TimeoutError:
        return { StatusTimeout, {}, timeoutText(request.slave) };
    case QModbusDevice::ProtocolError:
    case QModbusDevice::InvalidResponseError:
        return invalidAnswer(reply.errorString());
    case QModbusDevice::ReplyAbortedError:
        return { StatusAborted, {}, QStringLiteral("Request aborted: %1").arg(reply.errorString()) };
    case QModbusDevice::ReadError:
    case QModbusDevice::ConnectionError:
        return { StatusLineLost, {},
            QStringLiteral("Network line to %1 lost: %2").arg(m_address.endpoint(), reply.errorString()) };
    case QModbusDevice::WriteError:
        return { StatusWriteFailed, {}, QStringLiteral("Request not sent: %1").arg(reply.errorString()) };
    case QModbusDevice::ConfigurationError:
    case QModbusDevice::UnknownError:
        return { StatusStackError, {}, QStringLiteral("Modbus error: %1").arg(reply.errorString()) };
    }

    ModbusResult result { StatusOk, {}, QStringLiteral("No error") };
    switch (request.kind) {
    case Kind::Read:
        result.words = reply.result().values();
        return checkReadAnswer(result, request.count);
    case Kind::WriteOne:
    case Kind::WriteMany:
        if (reply.rawResult().functionCode()
            != (request.kind == Kind::WriteOne ? QModbusPdu::WriteSingleRegister
                                               : QModbusPdu::WriteMultipleRegisters))
            return invalidAnswer(QStringLiteral("the answer is for another function"));
        if (const auto mismatch
            = writeEchoMismatch(request.kind == Kind::WriteOne, request.data, reply.rawResult().data()))
            return invalidAnswer(*mismatch);
        return result;
    case Kind::Raw:
        return result;
    }
    return result;
}

std::optional<TcpModbusMaster::Pending> TcpModbusMaster::takePending()
{
    m_watchdog.stop();
    std::optional<Pending> pending = std::move(m_pending);
    m_pending.reset();
    if (pending && pending->reply) {
        pending->reply->disconnect(this);
        pending->reply->deleteLater();
    }
    return pending;
}

void TcpModbusMaster::complete(const Caller& caller, const ModbusResult& result, bool recordText)
{
    if (recordText)
        m_lastErrorText = result.errorText;
    // Runs on its own turn of the event loop (see completeLater), so the callback may delete us.
    const QPointer<TcpModbusMaster> self(this);
    if (caller.done && (!caller.hasContext || caller.context))
        caller.done(result);
    if (self)
        emit requestFinished(result);
}

void TcpModbusMaster::completeLater(Caller caller, const ModbusResult& result, bool recordText)
{
    QTimer::singleShot(0, this,
        [this, caller = std::move(caller), result, recordText] { complete(caller, result, recordText); });
}

} // namespace velto::modbus
