#pragma once

#include "modbus/display_model.h"
#include "modbus/modbus_result.h"
#include "modbus/poll_counters.h"

#include <QObject>

namespace velto::modbus {

class ModbusMaster;

// The single-sensor cycle of the register mode. The window's TimerModbusDataUpdate calls tick();
// each tick reads the next of the static, dynamic and information groups and reports the outcome
// as signals, so the window only copies texts into boxes.
class SingleSensorPoller : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstStep = 1; // static group; 2 dynamic, 3 information

    explicit SingleSensorPoller(ModbusMaster& master, QObject* parent = nullptr);

    int CurrentSlaveId() const { return m_slaveId; }
    void setCurrentSlaveId(int id) { m_slaveId = id; }

    // In the Velto protocol mode the tick only blinks.
    bool VeltoProtocolMode() const { return m_veltoMode; }
    void setVeltoProtocolMode(bool on) { m_veltoMode = on; }

    int ModbusReadStep() const { return m_step; }
    void setModbusReadStep(int step);
    bool BlinkOn() const { return m_blinkOn; }
    bool requestInFlight() const { return m_inFlight; }

    int NumOfPollsOneDevice() const { return m_counters.polls(); }
    int NumOfResponseOneDevice() const { return m_counters.valid(); }
    int TimeoutCoubter() const { return m_counters.timeouts(); }

    DisplayModel& model() { return m_model; }
    const DisplayModel& model() const { return m_model; }

public slots:
    // A tick that falls due while a request is still out (ours or another caller's) is dropped
    // entirely, blink included: one request at a time, and ticks never pile up behind it.
    void tick();
    void resetCounters();
    // Counts a request made by someone else for this sensor (the configuration writes) the way a
    // poll is counted: one poll, a valid response on 0, a time-out on 9.
    void countResult(const velto::modbus::ModbusResult& result);

signals:
    void blinkChanged(bool on);
    // ModBusErrorMessageLabel_TextBox: the error text of each finished request; the
    // master's text when it loses the line.
    void errorTextChanged(const QString& text);
    void countersChanged(int polls, int valid, int timeouts);
    void boxesUpdated(velto::modbus::GroupKind group, const QList<velto::BoxUpdate>& updates);
    // The words of a successful group read, just before they are decoded with the unit and mode that
    // model() holds.
    void groupRead(velto::modbus::GroupKind group, const QList<quint16>& words);
    void groupFailed(velto::modbus::GroupKind group, int status, const QString& text);

private:
    void finish(GroupKind group, const ModbusResult& result);

    ModbusMaster& m_master;
    DisplayModel m_model;
    int m_slaveId = 1;
    bool m_veltoMode = false;
    int m_step = kFirstStep;
    bool m_blinkOn = false;
    bool m_inFlight = false;
    PollCounters m_counters;
};

} // namespace velto::modbus
