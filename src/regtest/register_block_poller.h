#pragma once

#include "modbus/modbus_result.h"
#include "modbus/poll_counters.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace velto::modbus {
class ModbusMaster;
}

namespace velto::regtest {

inline constexpr int kMaxBlockLength = 50;

// The register test: reads a block of 1 to 50 holding registers from one device on each tick of the
// window's request timer (TimerSingleMultiRegisters), once as a two-second burst or periodically,
// and counts the outcomes. The timer belongs to the caller; this object starts and stops it.
//
// Nothing waits: the burst ends on a single-shot timer, and a tick that falls due while a request
// is still out is skipped. Closing the port waits for the request in flight, so its answer is
// shown and the closing text is not overwritten by an aborted request.
class RegisterBlockPoller : public QObject {
    Q_OBJECT
public:
    static constexpr int kSingleRequestBurstMs = 2000;
    static inline const QString kDeviceNotConnected = QStringLiteral("Device Not Connected");

    enum class Mode { Idle, Single, Periodic };

    // `openPort` gives the line to the Modbus master (reporting its own failures); false when the
    // port did not open.
    RegisterBlockPoller(modbus::ModbusMaster& master, QTimer& requestTimer, std::function<bool()> openPort,
        QObject* parent = nullptr);

    int CurrentSlaveId() const { return m_slaveId; }
    void setCurrentSlaveId(int id) { m_slaveId = id; }
    // First register, counted from 1; the request asks for register start - 1.
    int startAddress() const { return m_start; }
    void setStartAddress(int start) { m_start = start; }
    int length() const { return m_length; }
    void setLength(int length);

    // 1 normally, 0 while a single request runs: only then are polls and valid answers counted.
    int SingleRequest() const { return m_mode == Mode::Single ? 0 : 1; }
    Mode mode() const { return m_mode; }
    bool requestInFlight() const { return m_inFlight; }
    // Ends the single-request burst; tests stop it and call endBurst() themselves, so a starved
    // machine cannot end a burst before it made the requests they count.
    QTimer& burstTimer() { return m_burstEnd; }

    int NumOfPollsSingMulReg() const { return m_counters.polls(); }
    int NumOfResponseSingMulReg() const { return m_counters.valid(); }
    int TimeuotCouterSingMulReg() const { return m_counters.timeouts(); }

public slots:
    void tick();
    // Single Request: a two-second burst of uncounted requests, then the port is closed.
    void singleRequest();
    // Periodical Request: requests at the timer's interval until stopped.
    void periodicalRequest();
    // Stop Periodical Request: no more requests; the port is closed.
    void stopPeriodicalRequest();
    // An input box is being edited: no requests until resume().
    void pause();
    void resume();
    // The window is leaving, or the line is lost: no more requests, the port is left as it is.
    void halt();
    void resetCounters();
    // The burst is over: requests stop and the port closes once no answer is outstanding.
    void endBurst();

signals:
    // ModbusErrorMessageText: the master's text of each finished request, "Device Not Connected"
    // once the port is closed.
    void errorTextChanged(const QString& text);
    void countersChanged(int polls, int valid, int timeouts);
    // RegValText(0..N-1): the registers as signed decimals, or "0" after a failure.
    void valuesChanged(const QStringList& values);

private:
    void finish(bool counted, int length, const modbus::ModbusResult& result);
    void stopAndClose();
    void closeNow();

    modbus::ModbusMaster& m_master;
    QTimer& m_requestTimer;
    QTimer m_burstEnd;
    std::function<bool()> m_openPort;
    Mode m_mode = Mode::Idle;
    int m_slaveId = 1;
    int m_start = 1;
    int m_length = 10;
    bool m_inFlight = false;
    bool m_paused = false;
    bool m_closeWhenAnswered = false;
    modbus::PollCounters m_counters;
};

} // namespace velto::regtest
