#include "modbus/qt_modbus_master.h"

#include "modbus/answer_check.h"
#include "modbus/pdu_payload.h"
#include "serial/port_access.h"
#include "serial/serial_settings.h"

#include <QDataStream>
#include <QModbusDataUnit>
#include <QModbusReply>
#include <QModbusRtuSerialClient>
#include <QVariant>

#include <algorithm>

namespace velto::modbus {

namespace {

// QModbusClient ignores time-outs below this.
constexpr int kMinStackTimeoutMs = 10;

// The exception code of an exception answer, 0 otherwise. Read from the wire bytes: Qt keeps the
// function code sign-extended, so its inline isException()/exceptionCode() trip the undefined-
// behaviour sanitizer on every exception answer.
int exceptionCodeOf(const QModbusResponse& response)
{
    QByteArray wire;
    QDataStream stream(&wire, QIODevice::WriteOnly);
    stream << response;
    if (wire.size() < 2 || !(quint8(wire.at(0)) & QModbusPdu::ExceptionByte))
        return 0;
    return quint8(wire.at(1));
}

QString transportText(int status, const QString& stackText)
{
    switch (status) {
    case StatusLineLost:
        return QStringLiteral("Serial line lost: %1").arg(stackText);
    case StatusAborted:
        return QStringLiteral("Request aborted: %1").arg(stackText);
    case StatusInvalidResponse:
        return QStringLiteral("Invalid response: %1").arg(stackText);
    case StatusWriteFailed:
        return QStringLiteral("Write failed: %1").arg(stackText);
    default:
        return QStringLiteral("Modbus error: %1").arg(stackText);
    }
}

} // namespace

int statusForReply(QModbusDevice::Error error, int exceptionCode)
{
    switch (error) {
    case QModbusDevice::NoError:
        return StatusOk;
    case QModbusDevice::TimeoutError:
        return StatusTimeout;
    case QModbusDevice::ProtocolError:
        return exceptionCode > 0 ? statusForException(exceptionCode) : StatusInvalidResponse;
    case QModbusDevice::InvalidResponseError:
        return StatusInvalidResponse;
    case QModbusDevice::ReplyAbortedError:
        return StatusAborted;
    case QModbusDevice::ReadError:
    case QModbusDevice::ConnectionError:
        return StatusLineLost;
    case QModbusDevice::WriteError:
        return StatusWriteFailed;
    case QModbusDevice::ConfigurationError:
    case QModbusDevice::UnknownError:
        break;
    }
    return StatusStackError;
}

QtModbusMaster::QtModbusMaster(QObject* parent)
    : ModbusMaster(parent)
    , m_client(new QModbusRtuSerialClient(this))
{
    m_client->setNumberOfRetries(0);
    m_client->setTimeout(std::max(kMinStackTimeoutMs, m_rxTimeoutMs));
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &QtModbusMaster::onWatchdog);
    connect(m_client, &QModbusDevice::errorOccurred, this, &QtModbusMaster::onDeviceError);
    m_lastErrorText = QStringLiteral("No error");
}

QtModbusMaster::~QtModbusMaster()
{
    // Nothing is called back once the master is gone.
    m_client->disconnect(this);
    takePending();
    m_client->disconnectDevice();
}

bool QtModbusMaster::openPort(const QString& portName, const QString& settings)
{
    closePort();
    const std::optional<serial::SerialSettings> parsed = serial::SerialSettings::parse(settings);
    if (!parsed) {
        m_lastErrorText
            = QStringLiteral("Invalid port settings \"%1\" (expected e.g. 9600,n,8,1)").arg(settings);
        return false;
    }
    m_client->setConnectionParameter(QModbusDevice::SerialPortNameParameter, portName);
    m_client->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, int(parsed->baudRate));
    m_client->setConnectionParameter(QModbusDevice::SerialParityParameter, int(parsed->parity));
    m_client->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, int(parsed->dataBits));
    m_client->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, int(parsed->stopBits));
    m_client->setTimeout(std::max(kMinStackTimeoutMs, m_rxTimeoutMs));
    m_client->setNumberOfRetries(0);

    ++m_generation;
    // A serial client opens its port inside connectDevice(), so the state is final on return.
    if (!m_client->connectDevice() || m_client->state() != QModbusDevice::ConnectedState) {
        m_lastErrorText = QStringLiteral("Cannot open %1: %2").arg(portName, m_client->errorString());
        if (const QString advice = serial::portAccessAdvice(portName); !advice.isEmpty())
            m_lastErrorText += QStringLiteral(". ") + advice;
        m_client->disconnectDevice();
        return false;
    }
    m_lastErrorText = QStringLiteral("No error");
    return true;
}

void QtModbusMaster::closePort()
{
    ++m_generation;
    m_dropQueued = false;
    std::optional<Pending> pending = takePending();
    if (m_client->state() != QModbusDevice::UnconnectedState)
        m_client->disconnectDevice();
    if (pending)
        completeLater(std::move(pending->caller),
            { StatusAborted, {}, QStringLiteral("Request aborted: the port was closed") });
}

bool QtModbusMaster::portOpen() const
{
    return m_client->state() == QModbusDevice::ConnectedState;
}

void QtModbusMaster::setRxTimeout(int ms)
{
    m_rxTimeoutMs = std::clamp(ms, kMinTimeoutMs, kMaxTimeoutMs);
    m_client->setTimeout(std::max(kMinStackTimeoutMs, m_rxTimeoutMs));
}

void QtModbusMaster::setTxTimeout(int ms)
{
    m_txTimeoutMs = std::clamp(ms, kMinTimeoutMs, kMaxTimeoutMs);
}

void QtModbusMaster::readRegisters(int slave, int start, int count, QObject* context, Done done)
{
    send({ Kind::Read, slave, count, {} }, context, std::move(done), [=, this] {
        return m_client->sendReadRequest(
            QModbusDataUnit(QModbusDataUnit::HoldingRegisters, start, quint16(count)), slave);
    });
}

void QtModbusMaster::writeRegister(int slave, int reg, quint16 value, QObject* context, Done done)
{
    send({ Kind::WriteOne, slave, 0, writeSinglePayload(reg, value) }, context, std::move(done), [=, this] {
        // The list overload: QModbusDataUnit(type, start, quint16) would mean a count.
        return m_client->sendWriteRequest(
            QModbusDataUnit(QModbusDataUnit::HoldingRegisters, reg, QList<quint16> { value }), slave);
    });
}

void QtModbusMaster::writeRegisters(
    int slave, int start, const QList<quint16>& values, QObject* context, Done done)
{
    const QByteArray payload = writeMultiplePayload(start, values);
    send({ Kind::WriteMany, slave, 0, payload }, context, std::move(done), [=, this]() -> QModbusReply* {
        if (values.size() == 1) {
            // Qt would send one value as Write Single Register; this operation is Write Multiple
            // Registers on the wire whatever the count.
            return m_client->sendRawRequest(
                QModbusRequest(QModbusPdu::WriteMultipleRegisters, payload), slave);
        }
        return m_client->sendWriteRequest(
            QModbusDataUnit(QModbusDataUnit::HoldingRegisters, start, values), slave);
    });
}

void QtModbusMaster::probeIllegalFunction(
    int slave, int start, const QList<quint16>& values, QObject* context, Done done)
{
    send({ Kind::Raw, slave, 0, {} }, context, std::move(done), [=, this] {
        return m_client->sendRawRequest(
            QModbusRequest(QModbusPdu::FunctionCode(kProbeFunctionCode), writeMultiplePayload(start, values)),
            slave);
    });
}

QString QtModbusMaster::aboutText() const
{
    return QStringLiteral("Modbus stack: Qt Serial Bus Modbus RTU client\nQt runtime version %1")
        .arg(QString::fromLatin1(qVersion()));
}

void QtModbusMaster::send(
    Request request, QObject* context, Done done, const std::function<QModbusReply*()>& issue)
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
    if (!portOpen()) {
        completeLater(std::move(caller), { StatusNotOpen, {}, QStringLiteral("Port not open") });
        return;
    }
    QModbusReply* reply = issue();
    if (!reply) {
        completeLater(std::move(caller),
            { StatusStackError, {}, QStringLiteral("Request not sent: %1").arg(m_client->errorString()) });
        return;
    }
    m_pending = Pending { std::move(request), reply, std::move(caller) };
    connect(reply, &QModbusReply::finished, this, [this, reply] { onReplyFinished(reply); });
    m_watchdog.start(std::max(kMinStackTimeoutMs, m_rxTimeoutMs) + kWatchdogMarginMs);
    if (reply->isFinished()) {
        // Broadcasts can finish before we listen.
        QPointer<QModbusReply> guard(reply);
        QTimer::singleShot(0, this, [this, guard] {
            if (guard)
                onReplyFinished(guard);
        });
    }
}

void QtModbusMaster::onReplyFinished(QModbusReply* reply)
{
    if (!m_pending || m_pending->reply != reply)
        return;
    const ModbusResult result = resultOf(m_pending->request, *reply);
    std::optional<Pending> pending = takePending();
    // Later, not here: the stack is still inside its own read notification, and a caller may tear
    // the master (and with it the stack) down from its callback.
    completeLater(std::move(pending->caller), result);
}

QString QtModbusMaster::timeoutText(int slave) const
{
    return QStringLiteral("Time-out: no response from slave %1 within %2 ms").arg(slave).arg(m_rxTimeoutMs);
}

ModbusResult QtModbusMaster::resultOf(const Request& request, QModbusReply& reply) const
{
    const QModbusDevice::Error error = reply.error();
    const int exceptionCode = exceptionCodeOf(reply.rawResult());
    // Raw requests come back without an error even when the answer is an exception.
    const int status
        = statusForReply(exceptionCode > 0 ? QModbusDevice::ProtocolError : error, exceptionCode);

    ModbusResult result;
    result.status = status;
    if (status == StatusOk) {
        result.errorText = QStringLiteral("No error");
        switch (request.kind) {
        case Kind::Read:
            result.words = reply.result().values();
            return checkReadAnswer(result, request.count);
        case Kind::WriteOne:
        case Kind::WriteMany:
            if (const auto mismatch
                = writeEchoMismatch(request.kind == Kind::WriteOne, request.data, reply.rawResult().data()))
                return invalidAnswer(*mismatch);
            return result;
        case Kind::Raw:
            return result;
        }
    } else if (status == StatusTimeout) {
        result.errorText = timeoutText(request.slave);
        // Qt drops answers that do not fit (wrong CRC, another slave or function) and keeps waiting;
        // the operator should know something did answer.
        if (!reply.intermediateErrors().isEmpty())
            result.errorText += QStringLiteral(" (an answer that did not fit was discarded)");
    } else if (exceptionCode > 0) {
        result.errorText = exceptionText(exceptionCode);
    } else {
        result.errorText = transportText(status, reply.errorString());
    }
    return result;
}

void QtModbusMaster::onDeviceError(QModbusDevice::Error error)
{
    // Errors while connecting are reported by openPort(); only a live line can be lost.
    if (m_client->state() != QModbusDevice::ConnectedState)
        return;
    const bool lineLost = error == QModbusDevice::ReadError || error == QModbusDevice::WriteError
        || error == QModbusDevice::ConnectionError || error == QModbusDevice::UnknownError;
    if (!lineLost || m_dropQueued)
        return;
    // Qt's client keeps reporting "Read error." from a dead descriptor at full CPU, still claims to
    // be connected and may never finish the pending reply. Drop the connection ourselves, on the
    // next turn, since the serial port is still inside its own notification here.
    m_dropQueued = true;
    const QString text = QStringLiteral("Serial line lost: %1").arg(m_client->errorString());
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, text] { dropLine(generation, text); });
}

void QtModbusMaster::dropLine(quint64 generation, const QString& text)
{
    if (generation != m_generation)
        return;
    ++m_generation;
    m_dropQueued = false;
    std::optional<Pending> pending = takePending();
    m_client->disconnectDevice();
    m_lastErrorText = text;
    if (pending)
        completeLater(std::move(pending->caller), { StatusLineLost, {}, text });
    emit lineLost(text);
}

void QtModbusMaster::onWatchdog()
{
    std::optional<Pending> pending = takePending();
    if (!pending)
        return;
    // The stack lost track of the request; restart the connection so its internal queue is empty
    // again. If the port is gone by now, portOpen() turns false.
    ++m_generation;
    m_dropQueued = false;
    m_client->disconnectDevice();
    m_client->connectDevice();
    const ModbusResult result { StatusTimeout, {}, timeoutText(pending->request.slave) };
    if (portOpen()) {
        completeLater(std::move(pending->caller), result);
        return;
    }
    const QString why = m_client->errorString();
    m_client->disconnectDevice();
    const QString text = QStringLiteral("Serial line lost: %1")
                             .arg(why.isEmpty() ? QStringLiteral("the port could not be opened again") : why);
    m_lastErrorText = text;
    completeLater(std::move(pending->caller), { StatusLineLost, {}, text });
    emit lineLost(text);
}

std::optional<QtModbusMaster::Pending> QtModbusMaster::takePending()
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

void QtModbusMaster::complete(Caller caller, const ModbusResult& result, bool recordText)
{
    if (recordText)
        m_lastErrorText = result.errorText;
    // Runs on its own turn of the event loop (see completeLater), so the callback may delete us.
    const QPointer<QtModbusMaster> self(this);
    if (caller.done && (!caller.hasContext || caller.context))
        caller.done(result);
    if (self)
        emit requestFinished(result);
}

void QtModbusMaster::completeLater(Caller caller, const ModbusResult& result, bool recordText)
{
    QTimer::singleShot(0, this,
        [this, caller = std::move(caller), result, recordText] { complete(caller, result, recordText); });
}

} // namespace velto::modbus
