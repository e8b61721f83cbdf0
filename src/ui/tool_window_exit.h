#pragma once

namespace velto::modbus {
class ModbusMaster;
}

namespace velto::ui {

class MainWindow;

// What leaving a register test window gives back to the main window: the single-sensor address
// state (first sensor, address 1, the two-sensor alternation off), the main window's own time-outs
// in the master, and the main window itself on screen.
void restoreMainWindowAfterRegisterTool(MainWindow& main, modbus::ModbusMaster& master);

} // namespace velto::ui
