#include "app/main_controller.h"

#include "app/about_window.h"
#include "app/calibration_tool.h"
#include "app/debug_terminal_opener.h"
#include "app/flash_burning_opener.h"
#include "app/parsing_opener.h"
#include "app/radar_window_opener.h"
#include "app/traffic_monitor_opener.h"
#include "app/trend_opener.h"
#include "common/colors.h"
#include "trend/poll_feed.h"
#include "ui/modbus_config_panel.h"
#include "ui/multiple_devices_window.h"
#include "ui/one_sensor_branch.h"
#include "ui/registers_test_window.h"
#include "ui_main_window.h"
#include "ui_multiple_devices_window.h"
#include "ui_registers_test_window.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QUrl>
#include <memory>

namespace velto::app {

namespace {
constexpr int kDefaultXmtTimeoutMs = 300;
constexpr int kDefaultRcvTimeoutMs = 1000;
} // namespace

MainController::MainController(Links links, QObject* parent)
    : QObject(parent)
    , m_window(std::make_unique<ui::MainWindow>())
    , m_ctx { *m_window, m_state, links.master, links.byteLink, links.prompter, m_tools, links.simulatorPath,
        links.debugSimulatorPath }
    , m_connection(std::make_unique<ConnectionController>(m_ctx, std::move(links.scanPorts)))
    , m_modes(std::make_unique<ModeController>(m_ctx, *m_connection))
{
    m_ctx.replayPath = links.replayPath;
    connect(
        m_connection.get(), &ConnectionController::disconnected, m_modes.get(), &ModeController::NA_Function);
    wireMenus();
    // The Modbus configuration frames: writes are counted with the single-sensor polls.
    {
        auto* config = new ui::ModbusConfigPanel(
            *m_window, m_ctx.SMRX1, m_ctx.prompter, [this] { return m_state.CurrentSlaveId; },
            [this](const modbus::ModbusResult& r) {
                if (m_modbusReadings)
                    m_modbusReadings->poller().countResult(r);
            },
            m_window.get());
        config->setPollingResumable(
            [this] { return m_ctx.connected() && !m_state.VeltoProtocolMode && m_ctx.SMRX1.portOpen(); });
        config->setCurrentSlaveIdSink([this](quint16 id) { m_state.CurrentSlaveId = id; });
        for (auto lineGone : { &ConnectionController::disconnected, &ConnectionController::lineDropped }) {
            connect(m_connection.get(), lineGone, config, &ui::ModbusConfigPanel::stopPeriodicWriter);
            connect(
                m_connection.get(), lineGone, &config->controller(), &config::ConfigController::dropQueued);
        }
        connect(config, &ui::ModbusConfigPanel::configModeChanged, this, [this](bool on) {
            m_state.ModbusConfigMode = on;
            // The polling pauses while configuring, and its marks with it.
            if (on)
                m_window->hideActivityMarks();
        });
    }
    // Register test tools: one window each, made when first opened and reloaded on every opening.
    {
        auto openModbusPort = [this] { return m_connection->CommSetUpModBus(); };
        auto setSlaveId = [this](int id) { m_state.CurrentSlaveId = quint16(id); };
        auto devices = std::make_shared<QPointer<ui::MultipleDevicesWindow>>();
        m_tools.multipleDevices = [this, devices, openModbusPort, setSlaveId](int count) -> QWidget* {
            if (!*devices) {
                *devices = new ui::MultipleDevicesWindow(
                    *m_window, m_ctx.SMRX1, m_ctx.prompter, openModbusPort,
                    [this] { return m_ctx.connected(); }, m_window.get());
                connect(devices->get(), &ui::MultipleDevicesWindow::currentSlaveIdChanged, this, setSlaveId);
                openTrafficMonitorFrom(m_ctx, (*devices)->form().TrafficMonitorCommand);
                openTrendFrom(m_ctx, (*devices)->form().TrendCommand);
                if (m_ctx.trendFeed) {
                    m_ctx.trendFeed->watch((*devices)->poller());
                    connect(devices->get(), &ui::MultipleDevicesWindow::exited, m_ctx.trendFeed,
                        &trend::PollFeed::pollingStopped);
                }
            }
            (*devices)->open(count);
            return devices->get();
        };
        m_tools.closeMultipleDevices = [devices] {
            if (*devices && (*devices)->isVisible())
                (*devices)->Exit_Click();
        };
        auto registers = std::make_shared<QPointer<ui::RegistersTestWindow>>();
        m_tools.registersTest = [this, registers, openModbusPort, setSlaveId]() -> QWidget* {
            if (!*registers) {
                *registers = new ui::RegistersTestWindow(
                    *m_window, m_ctx.SMRX1, m_ctx.prompter, openModbusPort, m_window.get());
                connect(registers->get(), &ui::RegistersTestWindow::currentSlaveIdChanged, this, setSlaveId);
                openTrafficMonitorFrom(m_ctx, (*registers)->form().TrafficMonitorCommand);
            } else {
                (*registers)->Form_Load();
            }
            return registers->get();
        };
    }
    installTrafficMonitor(m_ctx, *m_connection);
    installDebugTerminalOpener(m_ctx, *m_connection);
    installCalibrationTool(m_ctx);
    installRadarWindow(m_ctx);
    installFlashBurningOpener(m_ctx);
    installParsingOpener(m_ctx);
    Form_Load();
    m_modbusReadings = std::make_unique<ModbusReadingsController>(m_ctx);
    ModbusReadingsController* readings = m_modbusReadings.get();
    connect(
        m_modes.get(), &ModeController::readingsReset, readings, &ModbusReadingsController::readingsReset);
    connect(m_modes.get(), &ModeController::orvixRegistersEntered, readings,
        &ModbusReadingsController::modbusModeEntered);
    connect(m_modes.get(), &ModeController::veltoProtocolEntered, readings,
        &ModbusReadingsController::TxtOrvixId_Change);
    connect(m_modes.get(), &ModeController::deviceModelChosen, readings,
        &ModbusReadingsController::forgetFlowColumn);

    m_veltoReadings = std::make_unique<VeltoReadingsController>(m_ctx);
    connect(m_modes.get(), &ModeController::veltoProtocolEntered, m_veltoReadings.get(),
        &VeltoReadingsController::TextVeltoLevel_Change);
    m_logPanel = std::make_unique<LogPanelController>(m_ctx, SystemClock::instance());
    installTrend(m_ctx, m_modbusReadings->poller(), m_veltoReadings->poller());
}

MainController::~MainController() = default;

void MainController::Form_Load()
{
    ui::MainWindow& w = *m_window;
    Ui::ProtocolChoose& f = w.form();

    f.SetModbusParametersFrame->setEnabled(false);
    m_state.ModbusConfigMode = false;

    f.NumberOfPollsOneDeviceText->setText(QStringLiteral("0"));
    f.ValidSlaveResponsesOneDeviceText->setText(QStringLiteral("0"));
    f.ErrorModbus_TextBox->setText(QStringLiteral("0"));

    // Applied at once: the boxes' one-second settling wait is for typing, not for start-up.
    f.Xmt_Timeout_Text->setText(QString::number(kDefaultXmtTimeoutMs));
    f.Rcv_Timeout_Text->setText(QString::number(kDefaultRcvTimeoutMs));
    m_ctx.SMRX1.setTxTimeout(kDefaultXmtTimeoutMs);
    m_ctx.SMRX1.setRxTimeout(kDefaultRcvTimeoutMs);
    w.TimerModbusDataUpdate->setInterval(kDefaultXmtTimeoutMs);

    ui::MainWindow::setStyledText(f.ModBusErrorMessageLabel_TextBox, QString(), true, kRed);
    ui::MainWindow::setStyledText(f.ConnectionStatusText, QStringLiteral("Disonnect"), true, kRed);
    for (QLineEdit* field : { f.CommunicationTypeText, f.COMPortText, f.BaundRateText, f.DataBitText,
             f.ParityBitText, f.StopBitsText })
        field->setText(QStringLiteral("N/A"));

    m_ctx.setEnabled("mnuFile", true);
    m_ctx.setEnabled("mnuExit", true);
    m_ctx.setEnabled("mnuDisConnect", false);
    m_ctx.setEnabled("mnuLog", false);

    // Nothing polls yet: only the status frame shows until a mode is chosen.
    for (const QString& panel : ModeController::modbusPanels())
        m_ctx.setVisible(panel, false);
    for (const char* other : { "frmDataBase", "frmVelto", "MSFlexGrid1", "pictTank" })
        m_ctx.setVisible(other, false);
    f.FrameOrvixLogPCStatus->show();

    f.NoOfUnitCombo->addItems({ "1", "2" });
    f.LabelOrvixId->setText(QStringLiteral("Insert Orvix 1 ID"));
    m_state.CurrentSlaveId = quint16(ui::selectOneSensor(w, m_ctx.prompter));

    for (QComboBox* units : { f.MeasurementUnitCombo, f.MeasurementUnitCombo2 }) {
        units->addItems({ "Meter", "Inch", "Feet" });
        units->setCurrentIndex(0);
    }
    for (QWidget* second :
        std::initializer_list<QWidget*> { f.TxtVeltoDist2, f.TextVeltoLevel2, f.TextVeltoTemp2,
            f.IrVeltoTnakHeight2, f.VeltoDevSta2, f.labelVeltoDist2, f.LabelVeltoLevel2, f.LabelVeltoTemp2,
            f.LabelVeltoTnakHeight2, f.LabelSensorNo2, f.MeasurementUnitCombo2, f.LabelMultiSensor })
        second->hide();
    f.LabelSensorNo1->setText(QStringLiteral("Single Sensor"));

    // BlinkOn starts False: the activity marks show from the first tick on.
    for (QWidget* mark : std::initializer_list<QWidget*> {
             f.RedPoint, f.lineSens0, f.lineSens1, f.lineSens2, f.lineSens3, f.lineSens4, f.lineSens5 })
        mark->hide();
}

void MainController::wireMenus()
{
    ui::MainWindow& w = *m_window;
    auto on = [&](const char* entry, auto handler) {
        connect(w.entry(QString::fromLatin1(entry)), &QAction::triggered, this, handler);
    };
    ConnectionController* c = m_connection.get();
    ModeController* m = m_modes.get();
    on("mnuConnect", [c] { c->mnuConnect_Click(); });
    on("mnuDisConnect", [c] { c->mnuDisConnect_Click(); });
    on("mnuOrvix25", [m] { m->mnuOrvix25_Click(); });
    on("mnuPellan", [m] { m->mnuPellan_Click(); });
    on("mnuOrvix50", [m] { m->mnuOrvix50_Click(); });
    on("mnuOrvix50H", [m] { m->mnuOrvix50H_Click(); });
    on("mnuOrvixRegisters", [m] { m->mnuOrvixRegisters_Click(); });
    on("mnuVeltoProtocol", [m] { m->mnuVeltoProtocol_Click(); });
    on("mnu1Device", [m] { m->mnuDevices_Click(1); });
    on("mnu2Devices", [m] { m->mnuDevices_Click(2); });
    on("mnu3Devices", [m] { m->mnuDevices_Click(3); });
    on("mnu4Devices", [m] { m->mnuDevices_Click(4); });
    on("mnu5Devices", [m] { m->mnuDevices_Click(5); });
    on("mnuRegistersTest", [m] { m->mnuRegistersTest_Click(); });
    on("mnuCalibration", [m] { m->mnuCalibration_Click(); });
    on("mnuOperation", [m] { m->mnuOperation_Click(); });
    on("mnuFlashBurning", [m] { m->mnuFlashBurning_Click(); });
    on("mnuTaliq485Debug", [m] { m->mnuTaliq485Debug_Click(); });
    on("mnuParsing", [m] { m->mnuParsing_Click(); });
    on("mnuLog", [this] { m_logPanel->mnuLog_Click(); });
    on("mnuAbout", [this] { mnuAbout_Click(); });
    on("mnuVeltoSite", [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kVeltoSite))); });
    // Exit ends the program at once; nothing is left half-written because every log line is
    // written and closed on its own tick.
    on("mnuExit", [] { QApplication::exit(0); });
}

void MainController::mnuAbout_Click()
{
    auto* about = new AboutWindow(m_ctx.prompter, m_ctx.SMRX1.aboutText(), m_window.get());
    connect(about, &AboutWindow::closedByOk, m_window.get(), &QWidget::show);
    about->show();
}

} // namespace velto::app
