#pragma once

#include "modbus/modbus_master.h"
#include "modbus/rtu_request.h"

#include <QElapsedTimer>
#include <QTimer>

#include <optional>

namespace velto::serial {
class ByteLink;
}

namespace velto::modbus {

// The Modbus RTU master on a byte link. A request goes out with its CRC once the line has been quiet
// for 3.5 characters; its answer is framed by the length the request and the answer's header give,
// its CRC checked and the answer judged against the request (answer_check.h).
//
// The exchange owns the line. Bytes that come while no answer is due are stray and dropped (the
// traffic monitor shows them): what waits when a request is about to go out, and what comes after
// an exchange ended. An answer counts only once the line has stayed quiet for 3.5 characters after
// it; more bytes at once put the line out of step (a late answer to an earlier request followed by
// this one's, or two answers) and the request fails. After a request that failed, whose answer may
// still be on its way, the next answer counts only when its own receive time-out has passed without
// a second answer, so a late answer taken for the next one fails when that one's own follows. RTU
// carries no request numbers: a late answer that comes after the next request went out, looks
// like that request's answer and is not followed by it within that time cannot be told apart.
//
// A frame from another slave, with a bad CRC, or that starts no answer at all is dropped with
// whatever follows it; the request then ends in its receive time-out, which says so. Our own
// request coming back first (an adapter that echoes, with Remove echo off on the link) fails the
// request at once and says how to mend it. A Write Single Register answer repeats its request
// byte for byte, so an echo of one is told from the answer only once the line has shown it echoes.
//
// RxTimeout counts from the request being written, plus the time the frame takes on the line.
// TxTimeout is kept for the callers, who use it as their poll period.
class RtuMaster : public ModbusMaster {
    Q_OBJECT
public:
    static constexpr int kDefaultRxTimeoutMs = 1000;
    static constexpr int kDefaultTxTimeoutMs = 300;
    static constexpr int kMinTimeoutMs = 1;
    static constexpr int kMaxTimeoutMs = 30000;
    static constexpr quint8 kProbeFunctionCode = rtu::kProbeFunctionCode;
    // The most registers one read and one write carry.
    static constexpr int kMaxReadCount = 125;
    static constexpr int kMaxWriteCount = 123;

    // The link must outlive the master, which opens and closes it.
    explicit RtuMaster(serial::ByteLink& link, QObject* parent = nullptr);
    ~RtuMaster() override;

    bool openPort(const QString& portName, const QString& settings) override;
    void closePort() override;
    bool portOpen() const override;
    serial::ByteLink* line() override { return &m_link; }

    void setRxTimeout(int ms) override;
    void setTxTimeout(int ms) override;
    int rxTimeout() const override { return m_rxTimeoutMs; }
    int txTimeout() const override { return m_txTimeoutMs; }

    bool busy() const override { return m_exchange.has_value(); }

    void readRegisters(int slave, int start, int count, QObject* context, Done done) override;
    void writeRegister(int slave, int reg, quint16 value, QObject* context, Done done) override;
    // Write Multiple Registers on the wire whatever the number of values.
    void writeRegisters(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done) override;
    // Function 0x41 with the payload of a write-multiple request, which a sensor rejects with
    // Illegal Function (status 101).
    void probeIllegalFunction(
        int slave, int start, const QList<quint16>& values, QObject* context, Done done) override;

    QString lastErrorText() const override { return m_lastErrorText; }
    QString aboutText() const override;

    // The silence that ends a frame: 3.5 characters, and 1.75 ms above 19200 baud.
    std::chrono::microseconds frameGap() const;

private:
    enum class Phase {
        Idle, // no request: whatever comes is stray
        Quieting, // a request waits for the line to be quiet
        Receiving, // the request is out; its answer is framed as it comes
        Discarding, // something that is no answer came; the rest waits for the time-out
        Settling, // an answer is whole; the line must stay quiet before it counts
    };
    struct Caller {
        QPointer<QObject> context;
        bool hasContext = false;
        Done done;
    };
    struct Exchange {
        RtuRequest request;
        QByteArray adu;
        Caller caller;
        QByteArray received;
        qint64 quietDeadlineMs = 0;
        std::optional<ModbusResult> answer; // judged, waiting for the line to stay quiet
        QString discarded; // why what came is no answer
    };

    void send(RtuRequest request, std::optional<ModbusResult> refused, QObject* context, Done done);
    void awaitQuiet();
    bool lateAnswerMayFit() const;
    void transmit();
    void onReadyRead();
    void examine();
    // More bytes came right after a whole answer.
    ModbusResult outOfStep(QByteArrayView answer, QByteArrayView more);
    void onQuietTimer();
    void onRxTimeout();
    void onLineLost(const QString& text);
    void onLinkClosed();
    // Ends the exchange; `result` is taken by value, as it may live in the exchange.
    void finish(ModbusResult result, bool answered = false);
    void complete(const Caller& caller, const ModbusResult& result, bool recordText);
    void completeLater(Caller caller, const ModbusResult& result, bool recordText = true);
    QString timeoutText(int slave) const;
    int wireMs(qsizetype bytes) const;
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }

    serial::ByteLink& m_link;
    Phase m_phase = Phase::Idle;
    std::optional<Exchange> m_exchange;
    QTimer m_quietTimer; // the silence before a request, and after its answer
    QTimer m_rxTimer;
    QElapsedTimer m_clock;
    qint64 m_lastByteUs = 0;
    qint64 m_sentUs = 0;
    qint64 m_characterUs = 0;
    bool m_gapAboveFixedBaud = false;
    QByteArray m_lastAdu; // the last request sent, to know our own bytes when they come late
    // The last exchange failed without a fitting answer: the next answer must prove it is not late.
    bool m_doubt = false;
    qint64 m_failedUs = 0; // when the last exchange ended
    // Our own bytes came back on this line since it was opened.
    bool m_lineEchoes = false;
    QString m_lastErrorText;
    int m_rxTimeoutMs = kDefaultRxTimeoutMs;
    int m_txTimeoutMs = kDefaultTxTimeoutMs;
    quint64 m_generation = 0;
};

} // namespace velto::modbus
