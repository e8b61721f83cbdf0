#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <optional>

namespace velto::modbus {

// A box background that is either the palette's info background (the system colour 0x80000018)
// or a fixed colour.
struct BoxBackground {
    std::optional<QColor> fixed;

    QColor resolve(const QPalette& palette) const
    {
        return fixed ? *fixed : palette.color(QPalette::ToolTipBase);
    }
    bool operator==(const BoxBackground&) const = default;
};

// Every 10 s with two sensors selected, the address switches between the two id boxes and the
// current one is highlighted in light green.
class TwoSensorAlternation {
public:
    static constexpr int kIntervalMs = 10000;

    struct Step {
        int sensor; // 1 or 2
        QString idBoxName; // TxtOrvixId or TxtOrvix2Id: the box CurrentSlaveId is taken from
        BoxBackground firstBoxBackground; // TxtOrvixId
        BoxBackground secondBoxBackground; // TxtOrvix2Id
    };

    bool SecondSensorTurn() const { return m_secondSensorTurn; }
    void setSecondSensorTurn(bool on) { m_secondSensorTurn = on; }

    // One tick of TimerForJump2DevicesModbus.
    Step next();

private:
    bool m_secondSensorTurn = false;
};

} // namespace velto::modbus
