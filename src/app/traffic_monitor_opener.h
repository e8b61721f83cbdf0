#pragma once

class QAbstractButton;
class QAction;

namespace velto::app {

struct MainContext;
class ConnectionController;

// Installs the traffic monitor: its recorder watching the main window's byte link and Modbus master,
// the Connection menu's entry, and the opener in the tool windows. One monitor for the program,
// made when first opened; closing it stops the recording, opening it again goes on below the rows
// it already holds.
void installTrafficMonitor(MainContext& ctx, ConnectionController& connection);

// A tool window's button or menu entry that opens the same monitor.
void openTrafficMonitorFrom(MainContext& ctx, QAbstractButton* button);
void openTrafficMonitorFrom(MainContext& ctx, QAction* entry);

} // namespace velto::app
