#pragma once

#include "modbus/modbus_exception.h"
#include "modbus/modbus_master.h"

#include <QModbusDevice>
#include <QPointer>
#include <QTimer>

#include <optional>

class QModbusReply;
class QModbusRtuSerialClient;
class QModbusDataUnit;
class QModbusRequest;

namespace velto::modbus {

// Maps a finished reply to the status callers see. exceptionCode is the Modbus exception in the
// answer, 0 when the answer was not an exception.
int statusForReply(QModbusDevice::Error error, int exceptionCode);

// The Modbus RTU master over Qt Serial Bus. Qt does the RTU framing, CRC and the 3.5-character
// inter-frame silence; retries are off so a silent slave costs exactly one receive time-out.
//
// RxTimeout is the time Qt waits for an answer after the request has been sent. TxTimeout is only
// kept for the callers, who use it as their poll period: Qt queues the frame and the driver sends
// it without a deadline of its own, and a frame that never leaves is caught by the watchdog below.
//
// Qt matches an answer to the request by slave and function and drops what is left on the line
// before each request; the register count and a write's echo are judged here. RTU has no request
// numbers, so an answer that arrives after its time-out can still be taken for the next request to
// the same slave: the count check catches it whenever the two requests differ in size.
class QtModbusMaster final : public ModbusMaster {
    Q_OBJECT
public:
    static constexpr int kDefaultRxTimeoutMs = 1000;
    static constexpr int kDefaultTxTimeoutMs = 300;
    static constexpr int kMinTimeoutMs = 1;
    static constexpr int kMaxTimeoutMs = 30000;
    // How long past the receive time-out a request may stay unanswered by the stack itself before
    // the master gives up on it and restarts the connection.
    static constexpr int kWatchdogMarginMs = 500;
    // A function code the sensors do not implement (first of the user-defined range); they answer
    // it with Illegal Function, which is all the probe is for.
    static constexpr quint8 kProbeFunctionCode = 0x41;

    explicit QtModbusMaster(QObject* parent = nullptr);
    ~QtModbusMaster() override;

    bool openPort(const QString& portName, const QString& settings) override;
    void closePort() override;
    bool portOpen() const override;

    void setRxTimeout(int ms) override;
    void setTxTimeout(int ms) override;
    int rxTimeout() const override { return m_rxTimeoutMs; }
    int txTimeout() const override { return m_txTimeoutMs; }

    bool busy() const override { return m_pending.has_value(); }

    void readRegisters(int slave, int start, int count, QObject* context, Done done) override;
    void writeRegister(int slave, int reg, quint16 value, QObject* context, Done done) override;
    void writeRegisters(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done) override;
    // Sends function 0x41 with the payload of a write-multiple request (start, count, byte count,
    // values), so a sensor rejects it with Illegal Function (status 101).
    void probeIllegalFunction(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done) override;

    QString lastErrorText() const override { return m_lastErrorText; }
    QString aboutText() const override;

private:
    enum class Kind { Read, WriteOne, WriteMany, Raw };
    struct Caller {
        QPointer<QObject> context;
        bool hasContext = false;
        Done done;
    };
    // What the answer is judged against.
    struct Request {
        Kind kind;
        int slave;
        int count = 0; // registers asked for by a read
        QByteArray data; // a write's PDU bytes after the function code, which its echo repeats
    };
    struct Pending {
        Request request;
        QPointer<QModbusReply> reply;
        Caller caller;
    };

    void send(Request request, QObject* context, Done done, const std::function<QModbusReply*()>& issue);
    void onReplyFinished(QModbusReply* reply);
    void onDeviceError(QModbusDevice::Error error);
    void onWatchdog();
    void dropLine(quint64 generation, const QString& text);
    // Detaches and frees the pending reply; the stack no longer reports to us about it.
    std::optional<Pending> takePending();
    void complete(Caller caller, const ModbusResult& result, bool recordText = true);
    void completeLater(Caller caller, const ModbusResult& result, bool recordText = true);
    ModbusResult resultOf(const Request& request, QModbusReply& reply) const;
    QString timeoutText(int slave) const;

    QModbusRtuSerialClient* m_client;
    QTimer m_watchdog;
    std::optional<Pending> m_pending;
    QString m_lastErrorText;
    int m_rxTimeoutMs = kDefaultRxTimeoutMs;
    int m_txTimeoutMs = kDefaultTxTimeoutMs;
    // Bumped on every open and close so a queued line drop never touches a newer connection.
    quint64 m_generation = 0;
    bool m_dropQueued = false;
};

} // namespace velto::modbus
