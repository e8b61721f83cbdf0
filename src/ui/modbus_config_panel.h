#pragma once

#include "config/config_controller.h"
#include "modbus/modbus_result.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class SetModbusParametersPanel;
class SetGetModbusParametersPanel;
} // namespace Ui

namespace velto {
class Prompter;
}
namespace velto::modbus {
class ModbusMaster;
}

namespace velto::ui {

class MainWindow;

// The main window's "Set Modbus Parameters" and "Set/Get Modbus Parameters" frames: builds their
// forms into the frames, runs the configuration state, and forwards every button to the
// configuration logic.
class ModbusConfigPanel : public QObject {
    Q_OBJECT
public:
    inline static const QString kSetCaption = QStringLiteral("Set Modbus Parameters");

    // The line is gone (Disconnect): the periodic tank-height writer stops and its button resets.
    void stopPeriodicWriter();
    inline static const QString kGetCaption = QStringLiteral("Get Modbus Parameters");
    inline static const QString kNoCommunication = QStringLiteral("Error Modbus Communication");
    inline static const QString kStartPeriodicCaption
        = QStringLiteral("Start Set Periodical Tank Height (10m-11m)");
    inline static const QString kStopPeriodicCaption
        = QStringLiteral("Stop Set Periodical Tank Height (10m-11m)");

    ModbusConfigPanel(MainWindow& main, modbus::ModbusMaster& master, Prompter& prompter,
        std::function<quint16()> currentSlaveId, std::function<void(const modbus::ModbusResult&)> countResult,
        QObject* parent = nullptr);
    ~ModbusConfigPanel() override;

    // Whether leaving the configuration state may restart TimerModbusDataUpdate (the register mode is
    // on and connected). Unset: whenever the master holds the port.
    void setPollingResumable(std::function<bool()> check) { m_mayResumePolling = std::move(check); }
    // Where the address read from TxtOrvixId by "Selected Preset Multiple Registers " goes.
    void setCurrentSlaveIdSink(std::function<void(quint16)> sink) { m_setSlaveId = std::move(sink); }

    bool ModbusConfigMode() const { return m_configMode; }
    config::ConfigController& controller() { return m_controller; }

    // The three single-sensor counter boxes, for a caller that counts on its own.
    static void showCounters(MainWindow& main, int polls, int valid, int timeouts);

    void GetSetMdbusCommand_Click();

signals:
    void configModeChanged(bool on);

private:
    void wire();
    void enterConfiguration();
    void leaveConfiguration();
    config::BlockInputs inputs() const;
    void SelectedPresetMultipleRegistersCommand_Click();
    void SetMBStartAddText_Change(const QString& text);
    void SetMBLengthText_Change(const QString& text);
    void SetPeriodicalTankHeightText_Change(const QString& text);
    void SetTankHeight1000TimesCommand_Click();

    MainWindow& m_main;
    modbus::ModbusMaster& m_master;
    Prompter& m_prompter;
    std::unique_ptr<Ui::SetModbusParametersPanel> m_set;
    std::unique_ptr<Ui::SetGetModbusParametersPanel> m_setGet;
    config::ConfigController m_controller;
    std::function<bool()> m_mayResumePolling;
    std::function<void(quint16)> m_setSlaveId;
    bool m_configMode = false;
};

} // namespace velto::ui
