#pragma once

#include "app/app_state.h"
#include "app/connection_controller.h"
#include "app/log_panel_controller.h"
#include "app/main_context.h"
#include "app/modbus_readings_controller.h"
#include "app/mode_controller.h"
#include "app/velto_readings_controller.h"
#include "ui/main_window.h"

#include <QObject>
#include <memory>

namespace velto::app {

// Builds the main window ProtocolChoose and wires its menus to the controllers.
class MainController : public QObject {
    Q_OBJECT
public:
    struct Links {
        modbus::ModbusMaster& master;
        serial::ByteLink& byteLink;
        Prompter& prompter;
        ConnectionController::PortScan scanPorts;
        std::function<QString()> simulatorPath; // empty where the simulator cannot run
        std::function<QString()> debugSimulatorPath; // the simulated Taliq485 debug output line
        ReplayStarter replayPath; // empty where a recorded session cannot be replayed
    };

    explicit MainController(Links links, QObject* parent = nullptr);
    ~MainController() override;

    ui::MainWindow& window() { return *m_window; }
    AppState& state() { return m_state; }
    MainContext& context() { return m_ctx; }
    ToolWindows& tools() { return m_tools; }
    ConnectionController& connection() { return *m_connection; }
    ModeController& modes() { return *m_modes; }
    ModbusReadingsController& modbusReadings() { return *m_modbusReadings; }
    VeltoReadingsController& veltoReadings() { return *m_veltoReadings; }
    LogPanelController& logPanel() { return *m_logPanel; }

    static constexpr const char* kVeltoSite = "https://www.velto.com";

private:
    void Form_Load();
    void wireMenus();
    void mnuAbout_Click();

    AppState m_state;
    ToolWindows m_tools;
    std::unique_ptr<ui::MainWindow> m_window;
    MainContext m_ctx;
    std::unique_ptr<ConnectionController> m_connection;
    std::unique_ptr<ModeController> m_modes;
    std::unique_ptr<ModbusReadingsController> m_modbusReadings;
    std::unique_ptr<VeltoReadingsController> m_veltoReadings;
    std::unique_ptr<LogPanelController> m_logPanel;
};

} // namespace velto::app
