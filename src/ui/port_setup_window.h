#pragma once

#include "serial/serial_state.h"

#include <QWidget>
#include <memory>

namespace Ui {
class PortSetup;
}

namespace velto {
class Prompter;
}

namespace velto::ui {

class NetworkLineBox;

// The port window: lists the free ports and the line settings, records the choice at OK.
// It opens nothing; the operating modes open the port later.
class PortSetupWindow : public QWidget {
    Q_OBJECT
public:
    // The six texts copied into the main window at OK.
    struct ShownTexts {
        QString port, baudRate, dataBits, parity, stopBits, communicationType;
    };

    // `freePorts` are the ports the scan found; `extraChoices` (the simulator) follow them.
    PortSetupWindow(serial::SerialState& state, const QList<serial::PortChoice>& freePorts,
        const QList<serial::PortChoice>& extraChoices, Prompter& prompter, QWidget* parent = nullptr);
    ~PortSetupWindow() override;

    Ui::PortSetup& form() { return *m_ui; }

    static constexpr const char* kNoPortMessage = "No Available Comport";
    static constexpr const char* kNetworkEntry = "Network line (serial device server, Modbus TCP)";

signals:
    void confirmed(const velto::ui::PortSetupWindow::ShownTexts& texts);
    void cancelled();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fillLists();
    void addNetworkLine();
    bool networkChosen() const;
    void onOk();
    void onCancel();

    serial::SerialState& m_state;
    Prompter& m_prompter;
    std::unique_ptr<Ui::PortSetup> m_ui;
    NetworkLineBox* m_network = nullptr;
    int m_networkEntry = -1; // its place in the port list
    bool m_done = false;
};

} // namespace velto::ui
