#pragma once

#include <QString>

namespace velto::modbus {

// Every 10 s with two sensors selected, the address switches between the two id boxes; the window
// highlights the box the address came from.
class TwoSensorAlternation {
public:
    static constexpr int kIntervalMs = 10000;

    struct Step {
        int sensor; // 1 or 2: the sensor now polled, whose box is highlighted
        QString idBoxName; // TxtOrvixId or TxtOrvix2Id: the box CurrentSlaveId is taken from
    };

    bool SecondSensorTurn() const { return m_secondSensorTurn; }
    void setSecondSensorTurn(bool on) { m_secondSensorTurn = on; }

    // One tick of TimerForJump2DevicesModbus.
    Step next();

private:
    bool m_secondSensorTurn = false;
};

} // namespace velto::modbus
