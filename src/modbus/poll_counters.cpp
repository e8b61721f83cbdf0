#include "modbus/poll_counters.h"

namespace velto::modbus {

void PollCounters::count(const ModbusResult& result)
{
    ++m_polls;
    if (result.ok())
        ++m_valid;
    else if (result.status == StatusTimeout)
        ++m_timeouts;
    emitChanged();
}

void PollCounters::countTimeoutOnly(const ModbusResult& result)
{
    if (result.status == StatusTimeout)
        ++m_timeouts;
    emitChanged();
}

void PollCounters::reset()
{
    m_polls = 0;
    m_valid = 0;
    m_timeouts = 0;
    emitChanged();
}

void PollCounters::emitChanged()
{
    emit changed(m_polls, m_valid, m_timeouts);
}

} // namespace velto::modbus
