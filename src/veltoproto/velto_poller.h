#pragma once

#include "serial/byte_link.h"
#include "veltoproto/request_frame.h"
#include "veltoproto/velto_display.h"
#include "veltoproto/velto_state.h"

#include <QObject>
#include <QTimer>

namespace velto::veltoproto {

// How one request of a tick ended.
struct RequestOutcome {
    int address = 0;
    VeltoCommand command = VeltoCommand::Distance;
    int askedSensor = 0; // the sensor digit of the request: 0 or 1
    bool accepted = false; // a reply to it passed every check
    bool stored = false; // ... and its value was stored
    int sensor = 0; // the sensor the stored value belongs to: 0 or 1
    qint32 value = 0; // millimetres or degrees Celsius, as stored
};

// The Velto mode's polling: every tick asks distance, tank height, temperature and level, one
// request at a time, each followed by a short wait for its reply, and turns what arrived into panel
// updates. Works on the shared byte link; never blocks.
class VeltoPoller : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickIntervalMs = 1000;
    static constexpr int kReplyWaitMs = 50;

    explicit VeltoPoller(serial::ByteLink& link, QObject* parent = nullptr);

    // TimerVeltoProtocol: start on entering the mode connected or on a valid log rate; stop on any
    // other mode, on disconnect and on opening the log panel. A stop between the requests of a tick
    // keeps the rest of the tick off the line.
    void start();
    void stop();
    bool isActive() const { return m_tickTimer->isActive(); }
    QTimer& tickTimer() { return *m_tickTimer; }
    // The short wait after each request; a test that drives the wait by hand gives it a long interval
    // and calls replyWaitOver() itself.
    QTimer& replyTimer() { return m_replyTimer; }
    // Paces the ticks with a timer that belongs to a window (its TimerVeltoProtocol) instead.
    void setTickTimer(QTimer& timer);

    // VeltoProtocolMode: while false a tick only blinks.
    void setProtocolMode(bool on) { m_protocolMode = on; }
    bool protocolMode() const { return m_protocolMode; }

    // CurrentSlaveId as the address entry left it.
    void setAddress(int address) { m_address = address; }
    int address() const { return m_address; }

    // The unit selector text of a sensor (0 or 1): "Meter", "Inch" or "Feet".
    void setUnitText(int sensor, QStringView selectorText);
    const SensorUnits& units() const { return m_units; }

    // VeltoSensorSelect: the next request carries sensor digit "1" when true.
    bool sensorSelect() const { return m_sensorSelect; }
    bool tickInProgress() const { return m_inTick; }

    const VeltoState& state() const { return m_state; }
    // The whole panel as it stands, e.g. for a command-line line per tick.
    QList<BoxUpdate> snapshot() const { return panelSnapshot(m_state, m_units); }
    // The values of one sensor in the current units, e.g. after its unit selector changed.
    QList<BoxUpdate> sensorValues(int sensor) const;

public slots:
    // TimerVeltoProtocol_Timer. Skipped while the previous tick still waits for a reply.
    void tick();
    // The wait for a reply is over: read what arrived and send the tick's next request.
    void replyWaitOver();

signals:
    // Toggle the activity indicator (RedPoint, lineSens); once per tick, in any mode.
    void blink();
    // After every read that found more than one byte waiting.
    void displayUpdated(const velto::veltoproto::DisplayUpdate& update);
    // The wait for a request's reply is over, with or without one.
    void requestFinished(const velto::veltoproto::RequestOutcome& outcome);
    // The fourth reception is over, or a stop ended the tick early.
    void tickFinished();
    // All four requests of a tick went out and not one reply was accepted: nothing answers at this
    // address (or nothing intelligible). The updates say so in the status boxes.
    void unanswered(const QList<velto::BoxUpdate>& updates);

private:
    void sendNext();
    void receive();
    void finishTick();

    serial::ByteLink& m_link;
    QTimer m_ownTimer;
    QTimer* m_tickTimer = &m_ownTimer;
    QTimer m_replyTimer;
    VeltoState m_state;
    SensorUnits m_units { LengthUnit::Meter, LengthUnit::Meter };
    int m_address = 1;
    bool m_protocolMode = false;
    bool m_sensorSelect = false;
    bool m_inTick = false;
    int m_step = 0;
    int m_sentThisTick = 0;
    int m_askedSensor = 0;
    bool m_acceptedThisTick = false;
};

} // namespace velto::veltoproto
