#include "modbus/two_sensor_alternation.h"

namespace velto::modbus {

TwoSensorAlternation::Step TwoSensorAlternation::next()
{
    if (m_secondSensorTurn) {
        m_secondSensorTurn = false;
        return { 2, QStringLiteral("TxtOrvix2Id") };
    }
    m_secondSensorTurn = true;
    return { 1, QStringLiteral("TxtOrvixId") };
}

} // namespace velto::modbus
