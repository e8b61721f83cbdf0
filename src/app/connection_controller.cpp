#include "app/connection_controller.h"

#include "common/colors.h"
#include "ui/address_box.h"
#include "ui/screen_fit.h"
#include "ui_main_window.h"
#include "veltoproto/address_entry.h"

namespace velto::app {

namespace {
const QString kNotAvailable = QStringLiteral("N/A");
const QStringList kSerialFields = { "CommunicationTypeText", "COMPortText", "BaundRateText", "DataBitText",
    "ParityBitText", "StopBitsText" };
// Frames the port window's Connect hides until a mode shows them again.
const QStringList kConnectHides = { "Frame1", "frmDataBase", "frmDeviceInformation", "frmStaticParameters",
    "SetModbusParametersFrame", "SetGetModbusParametersFrame", "frmVelto", "frmlblDeviceStatusRelayStatus",
    "frmDynamicParameters", "MSFlexGrid1", "pictTank" };
} // namespace

ConnectionController::ConnectionController(MainContext& ctx, PortScan scan, QObject* parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_scan(std::move(scan))
{
    connect(&m_ctx.SMRX1, &modbus::ModbusMaster::lineLost, this, &ConnectionController::lineLost);
    connect(&m_ctx.VeltoComm, &serial::ByteLink::lineLost, this, &ConnectionController::lineLost);
}

ConnectionController::~ConnectionController()
{
    // A top-level window of ours: it goes with us, not with an event loop that may not run again.
    delete m_portWindow;
}

void ConnectionController::mnuConnect_Click()
{
    // A window closed by OK or Cancel waits for deletion and takes no more answers: open a new one.
    if (m_portWindow && m_portWindow->isVisible()) {
        m_portWindow->raise();
        return;
    }
    delete m_portWindow; // closed, its deferred deletion not yet run
    QList<serial::PortChoice> extras;
    if (m_ctx.simulatorPath)
        extras.append({ QString(), QStringLiteral("Simulated sensors"), true });
    if (m_ctx.replayPath)
        extras.append(
            { QString(), QString::fromLatin1(ui::PortSetupWindow::kReplayChoice), true, false, true });
    if (m_ctx.debugSimulatorPath)
        extras.append({ QString(), QStringLiteral("Simulated Taliq485 debug output"), true, true });
    m_portWindow = new ui::PortSetupWindow(m_ctx.state.serial, m_scan(), extras, m_ctx.prompter);
    m_portWindow->setReplayStarter(m_ctx.replayPath);
    connect(m_portWindow, &ui::PortSetupWindow::confirmed, this, &ConnectionController::btnOKPortSetUp_Click);
    connect(m_portWindow, &ui::PortSetupWindow::cancelled, this, &ConnectionController::btnCancel_Click);
    ui::fitToScreenOnShow(m_portWindow, &m_ctx.window);
    m_portWindow->show();
    m_ctx.window.hide();
    for (const QString& name : kConnectHides)
        m_ctx.setVisible(name, false);
    m_ctx.setText("DeviceText", QString());
    m_ctx.setText("ProtocolTypeText", QString());
    const auto mode
        = m_ctx.state.VeltoProtocolMode ? veltoproto::AddressMode::Velto : veltoproto::AddressMode::Modbus;
    m_ctx.state.CurrentSlaveId = quint16(
        ui::commitAddressBox(m_ctx.window.form().TxtOrvixId, veltoproto::orvixIdRule(mode), m_ctx.prompter));
}

void ConnectionController::btnOKPortSetUp_Click(const ui::PortSetupWindow::ShownTexts& texts)
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    if (!m_ctx.connected())
        ui::MainWindow::setStyledText(f.ConnectionStatusText, QStringLiteral("Connect"), true, kBlue);
    f.COMPortText->setText(texts.port);
    f.BaundRateText->setText(texts.baudRate);
    f.DataBitText->setText(texts.dataBits);
    f.ParityBitText->setText(texts.parity);
    f.StopBitsText->setText(texts.stopBits);
    f.CommunicationTypeText->setText(texts.communicationType);
    m_ctx.setEnabled("mnuOption", false);
    m_ctx.setEnabled("mnuConnect", false);
    m_ctx.setEnabled("mnuDisConnect", true);
    m_ctx.setEnabled("mnuDevice", true);
    m_ctx.window.show();
}

void ConnectionController::btnCancel_Click()
{
    m_ctx.window.show();
    if (!m_ctx.connected())
        m_ctx.setEnabled("mnuConnect", true);
}

void ConnectionController::enterDisconnectedState()
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    if (m_ctx.connected())
        ui::MainWindow::setStyledText(f.ConnectionStatusText, QStringLiteral("Disonnect"), true, kRed);
    for (const QString& name : kSerialFields)
        m_ctx.setText(name, kNotAvailable);
    m_ctx.setEnabled("mnuLog", false);
    m_ctx.setEnabled("mnuDisConnect", false);
    m_ctx.setEnabled("mnuConnect", true);
    m_ctx.window.stopTrafficTimers();
    if (m_ctx.VeltoComm.isOpen())
        m_ctx.VeltoComm.close();
    if (m_ctx.SMRX1.portOpen())
        m_ctx.SMRX1.closePort();
}

void ConnectionController::lineLost()
{
    // The modes show the loss in their own boxes; the readings stay as last read, the timers stop so
    // no tick repeats "Port not open", and Connect is offered to bring the line back.
    enterDisconnectedState();
    emit lineDropped();
}

void ConnectionController::mnuDisConnect_Click()
{
    m_ctx.setVisible("pictTank", false);
    enterDisconnectedState();
    emit disconnected();
    m_ctx.setText("DeviceText", QString());
    m_ctx.setText("ProtocolTypeText", QString());
    if (m_ctx.tools.closeMultipleDevices)
        m_ctx.tools.closeMultipleDevices();
}

QString ConnectionController::portLocation()
{
    serial::SerialState& s = m_ctx.state.serial;
    serial::PortChoice chosen = s.chosenPort();
    const auto& simulator = chosen.debugOutput ? m_ctx.debugSimulatorPath : m_ctx.simulatorPath;
    if (chosen.simulated && !chosen.replay && chosen.location.isEmpty() && simulator) {
        chosen.location = simulator();
        if (s.PortIndex >= 0 && s.PortIndex < s.FreePorts.size())
            s.FreePorts[s.PortIndex].location = chosen.location;
    }
    return chosen.location;
}

void ConnectionController::reportOpenFailure(const QString& port, const QString& reason)
{
    const QString shown = port.isEmpty() ? m_ctx.state.serial.chosenPort().displayText : port;
    m_ctx.prompter.message(
        tr("The port %1 could not be opened: %2").arg(shown, reason), QString(), Prompter::Icon::Warning);
}

bool ConnectionController::OpenVeltoPort()
{
    if (m_ctx.SMRX1.portOpen())
        m_ctx.SMRX1.closePort();
    if (m_ctx.VeltoComm.isOpen())
        m_ctx.VeltoComm.close();
    const QString port = portLocation();
    m_ctx.VeltoComm.setRemoveEcho(m_ctx.state.serial.removeEcho);
    if (port.isEmpty() || !m_ctx.VeltoComm.open(port, m_ctx.state.serial.SerialSettings)) {
        reportOpenFailure(port, port.isEmpty() ? tr("no port chosen") : m_ctx.VeltoComm.errorText());
        return false;
    }
    return true;
}

bool ConnectionController::CommSetUpModBus()
{
    if (m_ctx.VeltoComm.isOpen())
        m_ctx.VeltoComm.close();
    if (m_ctx.SMRX1.portOpen())
        m_ctx.SMRX1.closePort();
    const QString port = portLocation();
    if (serial::ByteLink* line = m_ctx.SMRX1.line())
        line->setRemoveEcho(m_ctx.state.serial.removeEcho);
    if (port.isEmpty() || !m_ctx.SMRX1.openPort(port, m_ctx.state.serial.SerialSettings)) {
        reportOpenFailure(port, port.isEmpty() ? tr("no port chosen") : m_ctx.SMRX1.lastErrorText());
        return false;
    }
    return true;
}

} // namespace velto::app
