#pragma once

#include "serial/serial_state.h"

#include <QWidget>
#include <functional>
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
    static constexpr const char* kReplayChoice = "Replay a recorded session...";
    static constexpr const char* kSessionFilter = "Text Files (*.txt);;All Files (*)";

    // Serves the session in a file as the far end of a new line and answers the device to open, or
    // empty with the reason (the file's faulty line) in `error`.
    using ReplayStarter = std::function<QString(const QString& sessionFile, QString& error)>;
    // For the replay entry of the list: at OK it asks for the file and starts the replay through
    // this; cancelling the dialog or a file that cannot be replayed leaves the window open.
    void setReplayStarter(ReplayStarter starter) { m_replayStarter = std::move(starter); }

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
    // Asks for the session of the replay entry at `index` and starts it; the text to show, or empty.
    QString startReplay(int index);

    serial::SerialState& m_state;
    Prompter& m_prompter;
    std::unique_ptr<Ui::PortSetup> m_ui;
    NetworkLineBox* m_network = nullptr;
    int m_networkEntry = -1; // its place in the port list
    ReplayStarter m_replayStarter;
    bool m_done = false;
};

} // namespace velto::ui
