#pragma once

#include <QMainWindow>
#include <QTimer>
#include <memory>

namespace Ui {
class ProtocolChoose;
}

namespace velto::ui {

// The main window ProtocolChoose: menus, panels and the named timers of the sensor traffic.
// It holds no protocol logic; the application's controllers drive it.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    Ui::ProtocolChoose& form() { return *m_ui; }

    // The menu entry by its name, whether a plain entry or a submenu ("mnuOption").
    QAction* entry(const QString& name) const;

    QTimer* const TimerModbusDataUpdate;
    QTimer* const TimerForModbusDevices;
    QTimer* const TimerForJump2DevicesModbus;
    QTimer* const TimerVeltoProtocol;
    QTimer* const TimerSingleMultiRegisters;
    QTimer* const SetTankHeight1000TimesTimer;

    // RedPoint and lineSens(0..5) go away with the polling that blinks them, so no frozen mark is
    // left to read as an error sign.
    void hideActivityMarks();

    // The five timers of the sensor traffic that a mode change or Disconnect stops; the radar
    // window's Timer_Rx is its own and stops with it.
    void stopTrafficTimers();
    // The single-sensor, Velto and two-sensor timers, as a model change or the readings reset stop them.
    void stopPollingTimers();
    // The Velto tick alone, when it runs, as a tool window that talks on its line stops it.
    void stopVeltoPolling();

signals:
    // A polling timer was stopped: a tick half-way through its requests ends here too.
    void pollingStopped();

public:
    // Text, weight and colour of a read-only status box or label in one call.
    static void setStyledText(QWidget* box, const QString& text, bool bold, const QColor& color);
    static void setStyledText(QWidget* box, const QString& text, bool bold); // system text colour

private:
    QTimer* makeTimer(const char* name, int intervalMs);
    // Reserves the room of every mark and text that comes and goes, so no panel moves.
    void holdPanelsSteady();

    std::unique_ptr<Ui::ProtocolChoose> m_ui;
};

} // namespace velto::ui
