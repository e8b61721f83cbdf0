#pragma once

#include <QLineEdit>
#include <QTimer>

namespace velto {
class Prompter;
}
namespace velto::modbus {
class ModbusMaster;
}

namespace velto::ui {

// Puts a checked default back into a box without running its change handler again.
void putBack(QLineEdit* box, const QString& text);

// A time-out box has settled: checks its text, puts the default back after the message when it is
// out of range, and hands the value to the master. The transmit time-out is also the period of
// `pollTimer`, when there is one.
enum class TimeoutBox { Transmit, Receive };
void applyTimeoutBox(TimeoutBox kind, QLineEdit* box, const QString& text, modbus::ModbusMaster& master,
    Prompter& prompter, QTimer* pollTimer = nullptr);

} // namespace velto::ui
