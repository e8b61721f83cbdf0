#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

class QLabel;

namespace Ui {
class FormTaliq485Debug;
}

namespace velto {
class Clock;
class Prompter;
} // namespace velto

namespace velto::serial {
class ByteLink;
}

namespace velto::debugterm {
class DebugTerminal;
}

namespace velto::ui {

// Where "&Start" listens: a device path (or system port name) and its settings, "9600,n,8,1".
struct DebugPort {
    QString location;
    QString settings;
};

// FormTaliq485Debug: shows a sensor's debug text as it arrives with the time since the window
// opened after each line, and captures it to a text file. It only listens, on its own port
// (Taliq485MSComm); the menus drive a DebugTerminal.
class Taliq485DebugWindow : public QMainWindow {
    Q_OBJECT
public:
    // Asked at every Start: the main window's line may have changed since the window opened.
    using PortChoice = std::function<DebugPort()>;
    // Frees the port when the main window holds it, so Start can open it.
    using LineRelease = std::function<void(const QString& location)>;

    // The link, prompter and clock must outlive the window.
    Taliq485DebugWindow(serial::ByteLink& Taliq485MSComm, Prompter& prompter, const Clock& clock,
        PortChoice port, LineRelease release, QWidget* parent = nullptr);
    ~Taliq485DebugWindow() override;

    Ui::FormTaliq485Debug& form() { return *m_ui; }
    debugterm::DebugTerminal& terminal() { return *m_terminal; }

    // Puts the window in its opening state: port closed, capture off, stamps from now.
    void Form_Load();

    void mnuOpen_Click();
    void mnuClose_Click();
    void mnuExit_Click();
    void mnuStart_Click();
    void mnuStop_Click();
    void mnuClearScreen_Click();
    void mnuClearBuffer_Click();
    void mnuFont_Click();
    void mnuColor_Click();

    static constexpr const char* kCaptureFilter = "TXT Files (*.txt)";
    static constexpr const char* kPresetFont = "MS Sans Serif";

signals:
    // The window unloaded; the main window comes back.
    void exited();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void wireMenus();
    void showScreenUpdate(bool clearFirst, const QString& text);
    void showRunning(bool running);
    void showCapturing(bool capturing);
    void showStatus();
    void Form_Unload();

    Prompter& m_prompter;
    PortChoice m_port;
    LineRelease m_release;
    std::unique_ptr<Ui::FormTaliq485Debug> m_ui;
    std::unique_ptr<debugterm::DebugTerminal> m_terminal;
    QLabel* m_status;
    QString m_listeningOn;
    bool m_unloaded = false;
};

} // namespace velto::ui
