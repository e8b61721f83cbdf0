#pragma once

namespace velto {
class Prompter;
}
namespace velto::modbus {
class ModbusMaster;
}

namespace velto::ui {

class MainWindow;

// What leaving a register test window gives back to the main window: TxtOrvixId "1" and the whole
// one-sensor branch of the sensor-count list, the main window's own time-outs in the master, and the
// main window itself on screen. Returns the address for CurrentSlaveId.
int restoreMainWindowAfterRegisterTool(MainWindow& main, modbus::ModbusMaster& master, Prompter& prompter);

} // namespace velto::ui
