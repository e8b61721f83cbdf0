#include "modbus/two_sensor_alternation.h"

#include "common/colors.h"

namespace velto::modbus {

TwoSensorAlternation::Step TwoSensorAlternation::next()
{
    const BoxBackground highlight { kLightGreen };
    const BoxBackground plain {};
    if (m_secondSensorTurn) {
        m_secondSensorTurn = false;
        return { 2, QStringLiteral("TxtOrvix2Id"), plain, highlight };
    }
    m_secondSensorTurn = true;
    return { 1, QStringLiteral("TxtOrvixId"), highlight, plain };
}

} // namespace velto::modbus
