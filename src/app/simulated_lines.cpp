#include "app/simulated_lines.h"

#include "sim/in_process_device_end.h"

namespace velto::app {

SimulatedLines::Join SimulatedLines::joinFromEnvironment()
{
    return qEnvironmentVariableIsSet(kInProcessVariable) ? Join::InProcess : Join::PseudoTerminal;
}

SimulatedLines::SimulatedLines(Join join, const Clock& clock)
    : m_join(join)
    , m_clock(clock)
{
}

std::unique_ptr<sim::SimulatedLine> SimulatedLines::make(const QString& name) const
{
    if (m_join == Join::PseudoTerminal) {
        auto line = std::make_unique<sim::SimulatedLine>(m_clock);
        if (line->isValid())
            return line;
        qWarning("No pseudo-terminal for the %s (%s): joined inside the program instead", qPrintable(name),
            qPrintable(line->errorText()));
    }
    return std::make_unique<sim::SimulatedLine>(std::make_unique<sim::InProcessDeviceEnd>(name), m_clock);
}

QString SimulatedLines::sensorsLocation()
{
    if (!m_sensors)
        m_sensors = make(QStringLiteral("simulated-sensors"));
    return m_sensors->devicePath();
}

QString SimulatedLines::debugOutputLocation()
{
    if (!m_debugOutput) {
        m_debugOutput = make(QStringLiteral("simulated-taliq485-debug"));
        m_debugOutput->startDebugOutput();
    }
    return m_debugOutput->devicePath();
}

} // namespace velto::app
