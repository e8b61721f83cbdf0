#pragma once

#include "app/main_context.h"

#include <QObject>

namespace velto::app {

class ConnectionController;

// The Device and Option menus: each entry stops what polled before, gives the line to the user it
// needs, and shows the matching panels.
class ModeController : public QObject {
    Q_OBJECT
public:
    ModeController(MainContext& ctx, ConnectionController& connection, QObject* parent = nullptr);

    // Sensor models.
    void mnuOrvix25_Click();
    void mnuPellan_Click();
    void mnuOrvix50_Click();
    void mnuOrvix50H_Click();
    // Protocols and Modbus tools.
    void mnuOrvixRegisters_Click();
    void mnuVeltoProtocol_Click();
    void mnuDevices_Click(int devices);
    void mnuRegistersTest_Click();
    void mnuCalibration_Click();
    // Tool windows.
    void mnuOperation_Click();
    void mnuFlashBurning_Click();
    void mnuTaliq485Debug_Click();
    void mnuParsing_Click();

    // Resets the readings of both protocols to "N/A"; only while disconnected.
    void NA_Function();
    // The readings of both protocols to "N/A", connected or not.
    void clearReadings();

    static const QStringList& modbusPanels();
    static const QStringList& readingBoxes();

signals:
    // The Orvix register mode started polling / the Velto mode started its tick; the panels use
    // these to redraw the tank and apply the address.
    void orvixRegistersEntered();
    void veltoProtocolEntered();
    void readingsReset();
    // A sensor model was chosen from the Device menu: what the panels show of the previous one
    // no longer applies.
    void deviceModelChosen();

private:
    void showRelays3to5(bool visible);
    void modelWhileDisconnected(const QString& model);
    void modelWhileConnected(const QString& model, bool modbusMenu, bool relays3to5);
    void showModbusControls(bool visible);
    void hideAllPanels();
    // Hides the main window behind a tool window, when that window is part of the program.
    void showTool(QWidget* window, bool hideMain);

    MainContext& m_ctx;
    ConnectionController& m_connection;
};

} // namespace velto::app
