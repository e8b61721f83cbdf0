#pragma once

#include "common/clock.h"
#include "sim/simulated_line.h"

#include <QString>

#include <memory>

namespace velto::app {

// The port list's simulated lines: the sensors, and a Taliq485 printing its debug output. Each is
// made the first time it is chosen and runs until the program ends, on a pseudo-terminal where the
// system makes one, else on a wire inside the program that the port links open by its location.
class SimulatedLines {
public:
    enum class Join {
        PseudoTerminal, // falls back to in-process when no pseudo-terminal can be made
        InProcess,
    };
    // Set (to anything) in the environment, the lines are joined in-process even where the system
    // has pseudo-terminals, as it must where it has none.
    static constexpr char kInProcessVariable[] = "VELTO_SIMULATOR_IN_PROCESS";
    static Join joinFromEnvironment();

    // The clock must outlive the lines.
    explicit SimulatedLines(Join join = Join::PseudoTerminal, const Clock& clock = SystemClock::instance());

    // Where the port links open them.
    QString sensorsLocation();
    QString debugOutputLocation();

    // Null until first chosen.
    sim::SimulatedLine* sensors() const { return m_sensors.get(); }
    sim::SimulatedLine* debugOutput() const { return m_debugOutput.get(); }

private:
    std::unique_ptr<sim::SimulatedLine> make(const QString& name) const;

    Join m_join;
    const Clock& m_clock;
    std::unique_ptr<sim::SimulatedLine> m_sensors;
    std::unique_ptr<sim::SimulatedLine> m_debugOutput;
};

} // namespace velto::app
