#pragma once

#include "app/main_context.h"
#include "ui/port_setup_window.h"

#include <QObject>

namespace velto::app {

// Connect, the port window, Disconnect, and opening the line for one of its two users.
class ConnectionController : public QObject {
    Q_OBJECT
public:
    using PortScan = std::function<QList<serial::PortChoice>()>;

    ConnectionController(MainContext& ctx, PortScan scan, QObject* parent = nullptr);
    ~ConnectionController() override;

    void mnuConnect_Click();
    void mnuDisConnect_Click();
    // Give the line to the byte protocols / to the Modbus master; false when the port won't open.
    bool OpenVeltoPort();
    bool CommSetUpModBus();

    ui::PortSetupWindow* portWindow() const { return m_portWindow; }
    const PortScan& portScan() const { return m_scan; }
    // The device path to open, starting the simulated line when it is the choice.
    QString portLocation();

signals:
    // After Disconnect has reset the readings, for the panels to clear themselves.
    void disconnected();
    // The Modbus master or the byte link lost the line and the program went to the disconnected
    // state; the readings and the loss stay on screen.
    void lineDropped();

private:
    void btnOKPortSetUp_Click(const ui::PortSetupWindow::ShownTexts& texts);
    void btnCancel_Click();
    void lineLost();
    // Status text, serial fields, menus, timers and ports as Disconnect leaves them.
    void enterDisconnectedState();
    void reportOpenFailure(const QString& port, const QString& reason);

    MainContext& m_ctx;
    PortScan m_scan;
    QPointer<ui::PortSetupWindow> m_portWindow;
};

} // namespace velto::app
