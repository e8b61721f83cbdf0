#include "app/modbus_readings_controller.h"

#include "common/colors.h"
#include "ui/address_box.h"
#include "ui/box_updates.h"
#include "ui/one_sensor_branch.h"
#include "ui/tank_picture.h"
#include "ui/timeout_box.h"
#include "ui_main_window.h"
#include "veltoproto/address_entry.h"

namespace velto::app {

ModbusReadingsController::ModbusReadingsController(MainContext& ctx, QObject* parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_poller(ctx.SMRX1)
    , m_xmtCheck(this)
    , m_rcvCheck(this)
{
    ui::MainWindow& w = ctx.window;
    Ui::ProtocolChoose& f = w.form();
    connect(w.TimerModbusDataUpdate, &QTimer::timeout, this,
        &ModbusReadingsController::TimerModbusDataUpdate_Timer);
    connect(w.TimerForJump2DevicesModbus, &QTimer::timeout, this,
        &ModbusReadingsController::TimerForJump2DevicesModbus_Timer);

    connect(&m_poller, &modbus::SingleSensorPoller::blinkChanged, this, &ModbusReadingsController::blink);
    connect(&m_poller, &modbus::SingleSensorPoller::errorTextChanged, f.ModBusErrorMessageLabel_TextBox,
        &QLineEdit::setText);
    connect(&m_poller, &modbus::SingleSensorPoller::countersChanged, this,
        &ModbusReadingsController::showCounters);
    connect(&m_poller, &modbus::SingleSensorPoller::boxesUpdated, this,
        [this](modbus::GroupKind, const QList<BoxUpdate>& updates) {
            ui::applyBoxUpdates(m_ctx.window, updates);
            // A mode without a flow quantity hides the row; what it held is not logged either.
            if (m_ctx.window.form().Vol_Flow_Tot_Value_Text->isHidden())
                forgetFlowColumn();
            IrLevel_Change();
        });
    connect(
        f.ResetCtrs_Command, &QPushButton::clicked, &m_poller, &modbus::SingleSensorPoller::resetCounters);
    connect(f.NoOfUnitCombo, &QComboBox::activated, this, &ModbusReadingsController::NoOfUnitCombo_Click);
    // However one sensor comes back (the list, a tool window's exit) or the polling stops, the
    // light-green highlight of the alternation goes.
    connect(f.NoOfUnitCombo, &QComboBox::currentIndexChanged, this, [this] {
        if (m_ctx.window.form().NoOfUnitCombo->currentText() == QLatin1String("1"))
            clearSensorHighlight();
    });
    connect(&w, &ui::MainWindow::pollingStopped, this, &ModbusReadingsController::clearSensorHighlight);

    // The time-out boxes settle one second after the last keystroke, so typing 500 applies 500.
    connect(
        f.Xmt_Timeout_Text, &QLineEdit::textChanged, &m_xmtCheck, &modbus::DebouncedTextCheck::textChanged);
    connect(
        f.Rcv_Timeout_Text, &QLineEdit::textChanged, &m_rcvCheck, &modbus::DebouncedTextCheck::textChanged);
    connect(&m_xmtCheck, &modbus::DebouncedTextCheck::settled, this,
        [this](const QString& text) { applyTimeouts(false, text); });
    connect(&m_rcvCheck, &modbus::DebouncedTextCheck::settled, this,
        [this](const QString& text) { applyTimeouts(true, text); });

    connect(f.TxtOrvixId, &QLineEdit::textChanged, this, &ModbusReadingsController::TxtOrvixId_Change);
    connect(f.TxtOrvix2Id, &QLineEdit::textChanged, this, &ModbusReadingsController::TxtOrvix2Id_Change);
}

void ModbusReadingsController::TimerModbusDataUpdate_Timer()
{
    if (m_ctx.state.CurrentSlaveId != m_poller.CurrentSlaveId())
        forgetFlowColumn();
    m_poller.setCurrentSlaveId(m_ctx.state.CurrentSlaveId);
    m_poller.setVeltoProtocolMode(m_ctx.state.VeltoProtocolMode);
    m_poller.tick();
}

void ModbusReadingsController::blink(bool on)
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    for (QWidget* mark : std::initializer_list<QWidget*> {
             f.RedPoint, f.lineSens0, f.lineSens1, f.lineSens2, f.lineSens3, f.lineSens4, f.lineSens5 })
        mark->setVisible(on);
}

void ModbusReadingsController::clearSensorHighlight()
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    for (QLineEdit* box : { f.TxtOrvixId, f.TxtOrvix2Id }) {
        QPalette pal = box->palette();
        pal.setColor(QPalette::Base, QPalette().color(QPalette::Base));
        box->setPalette(pal);
    }
}

void ModbusReadingsController::forgetFlowColumn()
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    for (QLabel* label : { f.Vol_Flow_Tot_Ind_Label, f.Vol_Flow_Tot_Unit_Label }) {
        label->clear();
        label->hide();
    }
    f.Vol_Flow_Tot_Value_Text->clear();
    f.Vol_Flow_Tot_Value_Text->hide();
}

void ModbusReadingsController::showCounters(int polls, int valid, int timeouts)
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    f.NumberOfPollsOneDeviceText->setText(QString::number(polls));
    f.ValidSlaveResponsesOneDeviceText->setText(QString::number(valid));
    f.ErrorModbus_TextBox->setText(QString::number(timeouts));
}

void ModbusReadingsController::applyTimeouts(bool receive, const QString& text)
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    if (receive)
        ui::applyTimeoutBox(ui::TimeoutBox::Receive, f.Rcv_Timeout_Text, text, m_ctx.SMRX1, m_ctx.prompter);
    else
        ui::applyTimeoutBox(ui::TimeoutBox::Transmit, f.Xmt_Timeout_Text, text, m_ctx.SMRX1, m_ctx.prompter,
            m_ctx.window.TimerModbusDataUpdate);
}

void ModbusReadingsController::NoOfUnitCombo_Click()
{
    ui::MainWindow& w = m_ctx.window;
    Ui::ProtocolChoose& f = w.form();
    if (f.NoOfUnitCombo->currentText() == QLatin1String("1")) {
        m_ctx.state.CurrentSlaveId = quint16(ui::selectOneSensor(w, m_ctx.prompter));
    } else {
        f.TxtOrvix2Id->show();
        f.LabelOrvix2Id->show();
        f.Label26->setText(QStringLiteral("Units"));
        w.TimerForJump2DevicesModbus->start();
    }
}

void ModbusReadingsController::TimerForJump2DevicesModbus_Timer()
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    const modbus::TwoSensorAlternation::Step step = m_alternation.next();
    const bool second = step.sensor == 2;
    QLineEdit* current = second ? f.TxtOrvix2Id : f.TxtOrvixId;
    m_ctx.state.CurrentSlaveId = quint16(ui::commitAddressBox(current,
        second ? veltoproto::orvix2IdRule() : veltoproto::orvixIdRule(veltoproto::AddressMode::Modbus),
        m_ctx.prompter));
    // The polled sensor's box in light green, the other in the system's info background.
    auto paint = [](QLineEdit* box, bool highlighted) {
        QPalette pal = box->palette();
        pal.setColor(QPalette::Base, highlighted ? kLightGreen : pal.color(QPalette::ToolTipBase));
        box->setPalette(pal);
    };
    paint(f.TxtOrvixId, !second);
    paint(f.TxtOrvix2Id, second);
}

void ModbusReadingsController::applyAddressEntry(QLineEdit* box, const veltoproto::AddressEntry& entry)
{
    if (!entry.message.isEmpty())
        m_ctx.prompter.message(entry.message);
    if (entry.replacementText)
        ui::putBack(box, *entry.replacementText);
    if (entry.address)
        m_ctx.state.CurrentSlaveId = quint16(*entry.address);
}

void ModbusReadingsController::TxtOrvixId_Change()
{
    QLineEdit* box = m_ctx.window.form().TxtOrvixId;
    const auto mode
        = m_ctx.state.VeltoProtocolMode ? veltoproto::AddressMode::Velto : veltoproto::AddressMode::Modbus;
    applyAddressEntry(box, veltoproto::checkOrvixId(box->text(), mode));
}

void ModbusReadingsController::TxtOrvix2Id_Change()
{
    QLineEdit* box = m_ctx.window.form().TxtOrvix2Id;
    applyAddressEntry(box, veltoproto::checkOrvix2Id(box->text()));
}

void ModbusReadingsController::modbusModeEntered()
{
    // An address the Velto mode allowed (0) is no Modbus slave; the boxes are checked again here.
    Ui::ProtocolChoose& f = m_ctx.window.form();
    m_ctx.state.CurrentSlaveId = quint16(ui::commitAddressBox(
        f.TxtOrvixId, veltoproto::orvixIdRule(veltoproto::AddressMode::Modbus), m_ctx.prompter));
    if (f.NoOfUnitCombo->currentText() == QLatin1String("2"))
        ui::commitAddressBox(f.TxtOrvix2Id, veltoproto::orvix2IdRule(), m_ctx.prompter);
    IrLevel_Change();
}

void ModbusReadingsController::IrLevel_Change()
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    if (m_ctx.state.VeltoProtocolMode)
        return;
    f.pictTank->DrawTankLevel(f.IrLevel->text(), f.IrTankHeight->text());
}

void ModbusReadingsController::readingsReset()
{
    ui::applyBoxUpdates(m_ctx.window, m_poller.model().notAvailable());
    IrLevel_Change();
}

} // namespace velto::app
