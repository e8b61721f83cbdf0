#pragma once

namespace velto {
class Prompter;
}

namespace velto::ui {

class MainWindow;

// Item "1" of NoOfUnitCombo: the first sensor's address box and caption shown, the second's hidden,
// Label26 "Unit", the two-sensor alternation stopped and the list on its first item. Returns the
// address for CurrentSlaveId, taken from TxtOrvixId by the Modbus rule (see commitAddressBox).
// The sensor-count list, start-up and leaving a register tool all run this one routine.
int selectOneSensor(MainWindow& main, Prompter& prompter);

} // namespace velto::ui
