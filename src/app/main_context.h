#pragma once

#include "app/app_state.h"
#include "common/prompter.h"
#include "modbus/modbus_master.h"
#include "serial/byte_link.h"
#include "ui/main_window.h"
#include "ui/port_setup_window.h"

#include <QAction>
#include <QPointer>
#include <functional>

namespace velto::traffic {
class TrafficRecorder;
}

namespace velto::trend {
class PollFeed;
}

namespace velto::app {

using ReplayStarter = ui::PortSetupWindow::ReplayStarter;

// Windows of the tool menus: each opener shows its window and returns it, or is empty while that
// window is not part of the program; the menus then do only their main-window part.
struct ToolWindows {
    std::function<QWidget*(int devices)> multipleDevices; // FormMultipleDevicesModbus
    std::function<QWidget*()> registersTest; // FormSingleMultiRegisters
    std::function<QWidget*(bool connected)> calibration; // FormMultiSensorCalibration
    std::function<QWidget*(bool connected)> radar; // FormRendo
    std::function<QWidget*()> flashBurning; // FormFlashburning
    std::function<QWidget*()> debugTerminal; // FormTaliq485Debug
    std::function<QWidget*()> parsing; // FormTaliq485Parsing
    std::function<QWidget*()> trafficMonitor; // FormTrafficMonitor
    std::function<QWidget*()> trend; // FormTrend
    std::function<void()> closeMultipleDevices;
};

// What the main window's controllers share: the window, the state, the two users of the line.
struct MainContext {
    ui::MainWindow& window;
    AppState& state;
    modbus::ModbusMaster& SMRX1;
    serial::ByteLink& VeltoComm;
    Prompter& prompter;
    ToolWindows& tools;
    // Where the built-in simulated sensors can be opened; empty when they cannot run here.
    std::function<QString()> simulatorPath;
    // The same for the simulated line that carries a Taliq485's debug output.
    std::function<QString()> debugSimulatorPath;
    // What the traffic monitor shows is recorded here, once the monitor is installed.
    traffic::TrafficRecorder* traffic = nullptr;
    // What the pollers read goes into the trend through this, once the trend is installed.
    trend::PollFeed* trendFeed = nullptr;
    // Serves a recorded session as the far end of a new line, see ui::PortSetupWindow.
    ReplayStarter replayPath;

    // Connected exactly while the Connect entry is disabled.
    bool connected() const { return !window.entry(QStringLiteral("mnuConnect"))->isEnabled(); }

    template <typename T = QWidget> T* control(const QString& name) const
    {
        return window.findChild<T*>(name);
    }
    void setVisible(const QString& name, bool visible) const
    {
        if (auto* w = control(name))
            w->setVisible(visible);
    }
    void setEnabled(const QString& menuEntry, bool enabled) const
    {
        if (QAction* a = window.entry(menuEntry))
            a->setEnabled(enabled);
    }
    void setText(const QString& name, const QString& text) const;
    QString text(const QString& name) const;
};

} // namespace velto::app
