#pragma once

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;

namespace Ui {
class FormSingleMultiRegisters;
}

namespace velto {
class Prompter;
}

namespace velto::modbus {
class DebouncedTextCheck;
class ModbusMaster;
} // namespace velto::modbus

namespace velto::regtest {
class RegisterBlockPoller;
}

namespace velto::ui {

class MainWindow;

// FormSingleMultiRegisters: reads a block of 1 to 50 holding registers once or periodically through
// the main window's TimerSingleMultiRegisters and shows the raw values with their numbers.
class RegistersTestWindow : public QWidget {
    Q_OBJECT
public:
    RegistersTestWindow(MainWindow& main, modbus::ModbusMaster& master, Prompter& prompter,
        std::function<bool()> openModbusPort, QWidget* parent = nullptr);
    ~RegistersTestWindow() override;

    Ui::FormSingleMultiRegisters& form() { return *m_ui; }
    regtest::RegisterBlockPoller& poller() { return *m_poller; }

    // RegValText(i) and MBAddLabel(i), i = 0..49.
    QLineEdit* RegValText(int index) const;
    QLabel* MBAddLabel(int index) const;

    // Puts every control back to its start value; run each time the window opens.
    void Form_Load();

signals:
    // CurrentSlaveId as the device address box set it.
    void currentSlaveIdChanged(int id);
    // Exit has handed the main window back.
    void exited();

public slots:
    void Exit_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildRegisterBoxes();
    void wireInputs();
    void wirePoller();
    // The box is being edited: pause the requests until it settles.
    void pauseForEdit();
    void resumeAfterEdit();
    void LenghtText_Settled(const QString& text);
    void StartAddressText_Settled(const QString& text);
    void DeviceAddressText_Settled(const QString& text);
    void XmtTimeoutText_Settled(const QString& text);
    void RcvTimeoutText_Settled(const QString& text);
    // Shows the boxes and labels of the current block and hides the rest.
    void showBlock();
    void cancelEdits();

    MainWindow& m_main;
    modbus::ModbusMaster& m_master;
    Prompter& m_prompter;
    std::unique_ptr<Ui::FormSingleMultiRegisters> m_ui;
    regtest::RegisterBlockPoller* m_poller;
    QList<QLineEdit*> m_values;
    QList<QLabel*> m_labels;
    modbus::DebouncedTextCheck* m_length;
    modbus::DebouncedTextCheck* m_start;
    modbus::DebouncedTextCheck* m_address;
    modbus::DebouncedTextCheck* m_xmt;
    modbus::DebouncedTextCheck* m_rcv;
    bool m_loaded = false;
    bool m_exiting = false;
};

} // namespace velto::ui
