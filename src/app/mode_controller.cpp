#include "app/mode_controller.h"

#include "app/connection_controller.h"
#include "ui/form_rendo.h"
#include "ui_main_window.h"

#include <QLabel>

namespace velto::app {

namespace {
const QString kNA = QStringLiteral("N/A");
} // namespace

const QStringList& ModeController::modbusPanels()
{
    static const QStringList panels
        = { "Frame1", "frmDeviceInformation", "frmStaticParameters", "frmDynamicParameters",
              "frmlblDeviceStatusRelayStatus", "SetModbusParametersFrame", "SetGetModbusParametersFrame" };
    return panels;
}

const QStringList& ModeController::readingBoxes()
{
    static const QStringList boxes = { "IrcommTYpe", "IrCoProVersion", "IrMainProVersion", "IrLcdProVersion",
        "IrHwRevisionVersion", "IndicationModeText", "IrMeasurementUnit", "IrTankHeight", "Current4mAText",
        "Current20mAText", "SbdText", "Interference1Text", "Interference2Text", "Interference3Text",
        "Interference4Text", "Interference5Text", "Interference6Text", "Interference7Text",
        "Interference8Text", "ErrorStatusText", "DeviceAddText", "IrDistance", "IrLevel", "IrTemperature",
        "Vol_Flow_Tot_Value_Text", "TxtVeltoDist", "IrVeltoTnakHeight", "TextVeltoLevel", "TextVeltoTemp",
        "VeltoDevSta", "TxtVeltoDist2", "IrVeltoTnakHeight2", "TextVeltoLevel2", "TextVeltoTemp2",
        "VeltoDevSta2" };
    return boxes;
}

ModeController::ModeController(MainContext& ctx, ConnectionController& connection, QObject* parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_connection(connection)
{
}

void ModeController::NA_Function()
{
    if (m_ctx.connected())
        return;
    ui::MainWindow& w = m_ctx.window;
    m_ctx.setText("DeviceText", QStringLiteral("Orvix25"));
    m_ctx.setText("ProtocolTypeText", QString());
    w.stopPollingTimers();
    for (const QString& panel : modbusPanels())
        m_ctx.setVisible(panel, false);
    clearReadings();
}

void ModeController::clearReadings()
{
    for (const QString& box : readingBoxes())
        m_ctx.setText(box, kNA);
    for (const char* status : { "ErrorStatusText", "VeltoDevSta", "VeltoDevSta2" })
        ui::MainWindow::setStyledText(m_ctx.control(status), kNA, false);
    for (int k = 1; k <= 5; ++k)
        ui::MainWindow::setStyledText(m_ctx.control(QStringLiteral("LabelRel%1").arg(k)), kNA, false);
    emit readingsReset();
}

void ModeController::showRelays3to5(bool visible)
{
    for (int k = 3; k <= 5; ++k) {
        m_ctx.setVisible(QStringLiteral("LabelRealyNo%1").arg(k), visible);
        m_ctx.setVisible(QStringLiteral("LabelRel%1").arg(k), visible);
    }
}

void ModeController::mnuOrvix25_Click()
{
    NA_Function();
    m_ctx.setText("DeviceText", QStringLiteral("Orvix25"));
    m_ctx.setEnabled("mnuOption", true);
    m_ctx.setEnabled("mnuModBus", true);
    m_ctx.setEnabled("mnuVeltoProtocol", true);
    m_ctx.setEnabled("mnuCalibration", false);
    m_ctx.setVisible("MSFlexGrid1", false);
    m_ctx.setVisible("pictTank", false);
    showRelays3to5(true);
    emit deviceModelChosen();
}

void ModeController::modelWhileDisconnected(const QString& model)
{
    ui::MainWindow& w = m_ctx.window;
    m_ctx.setText("DeviceText", model);
    m_ctx.setText("ProtocolTypeText", QString());
    w.stopPollingTimers();
    for (const QString& panel : modbusPanels())
        m_ctx.setVisible(panel, false);
    m_ctx.setVisible("frmVelto", false);
    m_ctx.setVisible("pictTank", false);
}

void ModeController::modelWhileConnected(const QString& model, bool modbusMenu, bool relays3to5)
{
    m_ctx.setText("DeviceText", model);
    m_ctx.setEnabled("mnuOption", true);
    if (modbusMenu)
        m_ctx.setEnabled("mnuModBus", true);
    m_ctx.setEnabled("mnuVeltoProtocol", true);
    m_ctx.setEnabled("mnuCalibration", false);
    m_ctx.setVisible("MSFlexGrid1", false);
    m_ctx.setVisible("pictTank", false);
    showRelays3to5(relays3to5);
}

void ModeController::mnuPellan_Click()
{
    NA_Function();
    // A two-relay model: relays 3..5 stay hidden in either state, so a later Modbus panel is right.
    if (m_ctx.connected())
        modelWhileConnected(QStringLiteral("Pellan"), true, false);
    else
        modelWhileDisconnected(QStringLiteral("Pellan"));
    showRelays3to5(false);
    emit deviceModelChosen();
}

void ModeController::mnuOrvix50_Click()
{
    NA_Function();
    if (m_ctx.connected())
        modelWhileConnected(QStringLiteral("Orvix50"), false, true);
    else
        modelWhileDisconnected(QStringLiteral("Orvix50"));
    showRelays3to5(true);
    emit deviceModelChosen();
}

void ModeController::mnuOrvix50H_Click()
{
    m_ctx.setText("DeviceText", QStringLiteral("Orvix50 H"));
    m_ctx.setEnabled("mnuOption", true);
    m_ctx.setEnabled("mnuVeltoProtocol", true);
    m_ctx.setEnabled("mnuCalibration", true);
    m_ctx.setEnabled("mnuModBus", false);
    m_ctx.setVisible("MSFlexGrid1", false);
    emit deviceModelChosen();
}

void ModeController::showModbusControls(bool visible)
{
    m_ctx.setVisible("NoOfUnitCombo", visible);
    m_ctx.setVisible("LabelSelect", visible);
    m_ctx.setVisible("Label26", visible);
    m_ctx.setVisible("ModbusCountersArea", visible);
}

void ModeController::mnuOrvixRegisters_Click()
{
    ui::MainWindow& w = m_ctx.window;
    Ui::ProtocolChoose& f = w.form();
    const bool twoSensors = f.NoOfUnitCombo->currentText() == QLatin1String("2");
    if (!m_ctx.connected()) {
        w.stopPollingTimers();
        for (const QString& panel : modbusPanels())
            m_ctx.setVisible(panel, true);
        m_ctx.setVisible("frmVelto", false);
        showModbusControls(true);
        return;
    }
    m_ctx.setEnabled("mnuLog", true);
    m_ctx.state.VeltoProtocolMode = false;
    w.stopTrafficTimers();
    const bool opened = m_connection.CommSetUpModBus();
    for (const QString& panel : modbusPanels())
        m_ctx.setVisible(panel, true);
    showModbusControls(true);
    f.LabelOrvixId->setText(QStringLiteral("Insert Orvix 1 ID"));
    f.LabelOrvixId->show();
    f.TxtOrvixId->show();
    f.LabelOrvix2Id->setVisible(twoSensors);
    f.TxtOrvix2Id->setVisible(twoSensors);
    m_ctx.setVisible("pictTank", true);
    f.IDLine->show();
    m_ctx.setVisible("frmVelto", false);
    m_ctx.setVisible("frmDataBase", false);
    m_ctx.setVisible("MSFlexGrid1", false);
    m_ctx.setText("ProtocolTypeText", QStringLiteral("ModBus"));
    // A configuration in progress keeps the polling paused until its toggle is pressed again.
    if (opened && !m_ctx.state.ModbusConfigMode) {
        w.TimerModbusDataUpdate->start();
        // The two-sensor alternation belongs to this mode; picking the mode again keeps it going.
        if (twoSensors)
            w.TimerForJump2DevicesModbus->start();
    }
    emit orvixRegistersEntered();
}

void ModeController::mnuVeltoProtocol_Click()
{
    ui::MainWindow& w = m_ctx.window;
    Ui::ProtocolChoose& f = w.form();
    w.stopTrafficTimers();
    const bool connected = m_ctx.connected();
    bool opened = false;
    if (connected) {
        m_ctx.setEnabled("mnuLog", true);
        m_ctx.state.VeltoProtocolMode = true;
        opened = m_connection.OpenVeltoPort();
    }
    m_ctx.setVisible("frmVelto", true);
    m_ctx.setVisible("Frame1", true);
    for (const QString& panel : modbusPanels())
        if (panel != QLatin1String("Frame1"))
            m_ctx.setVisible(panel, false);
    showModbusControls(false);
    f.LabelOrvixId->setText(QStringLiteral("Insert Orvix ID"));
    m_ctx.setText("ProtocolTypeText", QStringLiteral("VeltoProtocol"));
    if (!connected)
        return;
    f.LabelOrvix2Id->hide();
    f.TxtOrvix2Id->hide();
    m_ctx.setVisible("pictTank", true);
    m_ctx.setVisible("frmDataBase", false);
    m_ctx.setVisible("MSFlexGrid1", false);
    if (auto* close = m_ctx.control("CloseFile"))
        close->setEnabled(false);
    if (opened)
        w.TimerVeltoProtocol->start();
    emit veltoProtocolEntered();
}

void ModeController::hideAllPanels()
{
    for (const QString& panel : modbusPanels())
        m_ctx.setVisible(panel, false);
    for (const char* other : { "frmVelto", "frmDataBase", "MSFlexGrid1", "pictTank" })
        m_ctx.setVisible(other, false);
}

void ModeController::showTool(QWidget* window, bool hideMain)
{
    if (!window)
        return;
    window->show();
    window->raise();
    if (hideMain)
        m_ctx.window.hide();
}

void ModeController::mnuDevices_Click(int devices)
{
    m_ctx.window.stopTrafficTimers();
    hideAllPanels();
    m_ctx.state.NextDeviceIndex = devices;
    m_ctx.state.NumberOfDevices = devices;
    if (!m_ctx.tools.multipleDevices)
        return;
    m_ctx.setEnabled("mnuLog", false);
    m_ctx.setEnabled("mnuDevice", false);
    m_ctx.setEnabled("mnuOption", false);
    showTool(m_ctx.tools.multipleDevices(devices), false);
}

void ModeController::mnuRegistersTest_Click()
{
    m_ctx.window.stopTrafficTimers();
    if (!m_ctx.tools.registersTest)
        return;
    hideAllPanels();
    m_ctx.setEnabled("mnuLog", false);
    showTool(m_ctx.tools.registersTest(), true);
}

void ModeController::mnuCalibration_Click()
{
    if (!m_ctx.tools.calibration)
        return;
    const bool connected = m_ctx.connected();
    showTool(m_ctx.tools.calibration(connected), true);
    if (connected)
        m_connection.OpenVeltoPort();
}

void ModeController::mnuOperation_Click()
{
    m_ctx.window.stopTrafficTimers();
    const bool connected = m_ctx.connected();
    if (connected) {
        m_connection.OpenVeltoPort();
        m_ctx.setText("DeviceText", QStringLiteral("Rendo"));
        m_ctx.setText("ProtocolTypeText", kNA);
    } else {
        hideAllPanels();
        m_ctx.setEnabled("mnuLog", false);
    }
    if (!m_ctx.tools.radar)
        return;
    QWidget* radar = m_ctx.tools.radar(connected);
    // What the panels showed before the radar window is long out of date when it hands back.
    if (auto* form = qobject_cast<ui::FormRendo*>(radar))
        connect(form, &ui::FormRendo::exited, this, &ModeController::clearReadings);
    showTool(radar, true);
}

void ModeController::mnuFlashBurning_Click()
{
    // The bootloader's answers are for the flash window alone: no poll may read them away.
    m_ctx.window.stopTrafficTimers();
    if (m_ctx.connected()) {
        m_ctx.setText("DeviceText", QStringLiteral("Rendo"));
        m_connection.OpenVeltoPort();
    }
    if (m_ctx.tools.flashBurning)
        showTool(m_ctx.tools.flashBurning(), true);
}

void ModeController::mnuTaliq485Debug_Click()
{
    if (m_ctx.connected())
        m_ctx.setText("DeviceText", QStringLiteral("Taliq485"));
    if (m_ctx.tools.debugTerminal)
        showTool(m_ctx.tools.debugTerminal(), true);
}

void ModeController::mnuParsing_Click()
{
    m_ctx.setText("DeviceText", QStringLiteral("Taliq485"));
    if (m_ctx.tools.parsing)
        showTool(m_ctx.tools.parsing(), true);
}

} // namespace velto::app
