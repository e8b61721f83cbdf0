#pragma once

#include "common/clock.h"
#include "sim/line_faults.h"
#include "sim/sensor_simulator.h"
#include "sim/taliq485_debug_talker.h"

#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>

#include <memory>

namespace velto::sim {

class DeviceEnd;
class PacedWriter;

// The simulated sensors behind a line the program opens like any port, answering from the event
// loop: by default a pseudo-terminal whose slave path is the port; given another device end (an
// in-process wire where the system has no pseudo-terminals), that end's location.
class SimulatedLine : public QObject {
    Q_OBJECT
public:
    // The clock must outlive the line.
    explicit SimulatedLine(const Clock& clock = SystemClock::instance(), QObject* parent = nullptr);
    SimulatedLine(std::unique_ptr<DeviceEnd> end, const Clock& clock = SystemClock::instance(),
        QObject* parent = nullptr);
    ~SimulatedLine() override;

    bool isValid() const;
    // What to open as the serial port, e.g. /dev/pts/7; empty when the line could not be made.
    QString devicePath() const;
    QString errorText() const;

    SensorSimulator& simulator() { return m_simulator; }
    RadarResponder& radar() { return m_simulator.radar(); }
    // Characters per second of the port as the program set it up (8N1 at 9600 baud: 960).
    int charactersPerSecond() const;
    // Bytes of radar replies still waiting for the line.
    qsizetype pacedPending() const;
    // Puts a Modbus sensor (1..5) in or out of its menu; false for an address not on the bus.
    bool setInMenu(int modbusAddress, bool on) { return m_simulator.setInMenu(modbusAddress, on); }

    // Makes the line misbehave from now on; the same seed gives the same faults.
    void setFaults(const LineFaults& faults, quint32 seed = 1);
    const LineFaults& faults() const { return m_faults; }

    // A Taliq485 on this line prints its debug output from now on, at its own pace, whether anyone
    // listens or not; lines that would leave more than kDebugBacklogBytes unread (the port is closed)
    // are lost as on a real wire instead of piling up for the next reader. The faults above apply.
    void startDebugOutput();
    Taliq485DebugTalker* debugTalker() { return m_debugTalker.get(); }
    qint64 debugBytesDropped() const { return m_debugDropped; }
    static constexpr int kDebugTickMs = 50;
    static constexpr int kDebugBacklogBytes = 2048;

signals:
    // A batch of replies went out (for traffic displays and tests).
    void replied(const QByteArray& bytes);

private:
    void onReceived(const QByteArray& data);
    // Sends a reply extraDelayMs after now (a device's late or split answer), the faults applied.
    void send(const QByteArray& bytes, int extraDelayMs = 0);
    void sendScheduled();
    void writeNow(const QByteArray& bytes);
    void writeDue();
    void sendDebugOutput();

    struct QueuedWrite {
        qint64 dueMs;
        QByteArray bytes;
    };

    // How long the line must be quiet before an unfinished frame is answered as it stands.
    static constexpr int kLineIdleMs = 50;

    SensorSimulator m_simulator;
    std::unique_ptr<DeviceEnd> m_end;
    LineFaults m_faults;
    FaultPlanner m_planner;
    // Replies held back by the faults, in the order they leave.
    QQueue<QueuedWrite> m_queue;
    QTimer m_queueTimer;
    QElapsedTimer m_sinceStart;
    const Clock& m_clock;
    std::unique_ptr<Taliq485DebugTalker> m_debugTalker;
    qint64 m_debugStartMs = 0;
    qint64 m_debugDropped = 0;
    QTimer m_debugTimer;
    std::unique_ptr<PacedWriter> m_paced;
    QTimer m_idleTimer;
};

} // namespace velto::sim
