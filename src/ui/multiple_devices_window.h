#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QLineEdit;

namespace Ui {
class FormMultipleDevicesModbus;
}

namespace velto {
class Prompter;
}

namespace velto::modbus {
class DebouncedTextCheck;
class ModbusMaster;
class MultiDevicePoller;
} // namespace velto::modbus

namespace velto::ui {

class MainWindow;

// FormMultipleDevicesModbus: one to five devices polled in turn by the main window's
// TimerForModbusDevices, each showing its registers R0..R7.
class MultipleDevicesWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxDevices = 5;

    MultipleDevicesWindow(MainWindow& main, modbus::ModbusMaster& master, Prompter& prompter,
        std::function<bool()> openModbusPort, std::function<bool()> isConnected, QWidget* parent = nullptr);
    ~MultipleDevicesWindow() override;

    Ui::FormMultipleDevicesModbus& form() { return *m_ui; }
    modbus::MultiDevicePoller& poller() { return *m_poller; }

    // Shows the frames of devices 1..`devices`, hides the main window and, while connected, gives
    // the line to the Modbus master and starts the poll.
    void open(int devices);

signals:
    // CurrentSlaveId as the poll (or Exit) set it.
    void currentSlaveIdChanged(int id);
    // Exit has handed the main window back.
    void exited();

public slots:
    void Exit_Click();
    void ResetCounters_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void wireInputs();
    void wirePoller();
    QLineEdit* idBox(int device) const;
    void IDText_Changed(int device, const QString& text);
    void IDText_Settled(int device, const QString& text);
    void XmtTimeoutText_Settled(const QString& text);
    void RcvTimeoutText_Settled(const QString& text);
    void cancelEdits();

    MainWindow& m_main;
    modbus::ModbusMaster& m_master;
    Prompter& m_prompter;
    std::function<bool()> m_openModbusPort;
    std::function<bool()> m_isConnected;
    std::unique_ptr<Ui::FormMultipleDevicesModbus> m_ui;
    modbus::MultiDevicePoller* m_poller;
    std::array<modbus::DebouncedTextCheck*, kMaxDevices> m_ids {};
    modbus::DebouncedTextCheck* m_xmt;
    modbus::DebouncedTextCheck* m_rcv;
    bool m_loaded = false;
    // The poll was started at opening; edits pause and resume it only then.
    bool m_polling = false;
    bool m_exiting = false;
};

} // namespace velto::ui
