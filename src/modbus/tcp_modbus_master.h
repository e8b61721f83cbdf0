#pragma once

#include "modbus/modbus_master.h"
#include "serial/network_address.h"

#include <QModbusDevice>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>

class QModbusReply;
class QModbusTcpClient;

namespace velto::modbus {

// The Modbus master for a Modbus TCP device or gateway ("mbtcp://host:port"), over Qt Serial Bus's
// TCP client: MBAP framing, the unit id is the slave. Qt pairs each answer with its request by the
// transaction id, so a late answer to an earlier request is never taken for the current one;
// register counts and write echoes are judged here as by every master.
//
// openPort() starts the connection and returns at once; a request made before the server is reached
// goes out when it is, and its receive time-out runs from then. A refused or timed-out connection,
// a server that closes or resets it, or one that dies silently (TCP keep-alive) is a lost line:
// reported once by lineLost(), the request in flight ending with StatusLineLost.
class TcpModbusMaster final : public ModbusMaster {
    Q_OBJECT
public:
    static constexpr int kDefaultRxTimeoutMs = 1000;
    static constexpr int kDefaultTxTimeoutMs = 300;
    static constexpr int kMinTimeoutMs = 1;
    static constexpr int kMaxTimeoutMs = 30000;
    static constexpr int kConnectTimeoutMs = 5000;
    // How long past the receive time-out a request may stay unanswered by the stack itself.
    static constexpr int kWatchdogMarginMs = 500;
    // A function code the sensors do not implement; see probeIllegalFunction().
    static constexpr quint8 kProbeFunctionCode = 0x41;

    explicit TcpModbusMaster(QObject* parent = nullptr);
    ~TcpModbusMaster() override;

    // portName is "mbtcp://host:port"; the serial settings do not apply to a TCP line.
    bool openPort(const QString& portName, const QString& settings) override;
    void closePort() override;
    bool portOpen() const override { return m_open; }

    void setRxTimeout(int ms) override;
    void setTxTimeout(int ms) override;
    int rxTimeout() const override { return m_rxTimeoutMs; }
    int txTimeout() const override { return m_txTimeoutMs; }

    bool busy() const override { return m_pending.has_value(); }

    void readRegisters(int slave, int start, int count, QObject* context, Done done) override;
    void writeRegister(int slave, int reg, quint16 value, QObject* context, Done done) override;
    void writeRegisters(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done) override;
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
    struct Request {
        Kind kind;
        int slave;
        int count = 0; // registers asked for by a read
        QByteArray data; // a write's PDU bytes after the function code, which its echo repeats
    };
    struct Pending {
        Request request;
        std::function<QModbusReply*()> issue;
        QPointer<QModbusReply> reply; // null while waiting for the connection
        Caller caller;
    };

    void send(Request request, QObject* context, Done done, std::function<QModbusReply*()> issue);
    void issuePending();
    void onStateChanged(QModbusDevice::State state);
    void onDeviceError(QModbusDevice::Error error);
    void onReplyFinished(QModbusReply* reply);
    void onWatchdog();
    void loseLine(const QString& text);
    void dropLine(quint64 generation, const QString& text);
    QString socketReason() const;
    std::optional<Pending> takePending();
    void complete(const Caller& caller, const ModbusResult& result, bool recordText);
    void completeLater(Caller caller, const ModbusResult& result, bool recordText = true);
    ModbusResult resultOf(const Request& request, QModbusReply& reply) const;
    QString timeoutText(int slave) const;

    QModbusTcpClient* m_client;
    QTimer m_connectTimer;
    QTimer m_watchdog;
    serial::NetworkAddress m_address;
    std::optional<Pending> m_pending;
    QString m_lastErrorText;
    int m_rxTimeoutMs = kDefaultRxTimeoutMs;
    int m_txTimeoutMs = kDefaultTxTimeoutMs;
    bool m_open = false;
    bool m_connected = false;
    // Bumped on every open and close so a queued line drop never touches a newer connection.
    quint64 m_generation = 0;
    bool m_dropQueued = false;
};

} // namespace velto::modbus
