#include "ui/modbus_config_panel.h"

#include "common/prompter.h"
#include "config/config_conversions.h"
#include "modbus/modbus_master.h"
#include "ui/address_box.h"
#include "ui/main_window.h"
#include "ui/screen_fit.h"
#include "ui_main_window.h"
#include "ui_set_get_modbus_parameters_panel.h"
#include "ui_set_modbus_parameters_panel.h"
#include "veltoproto/address_entry.h"

namespace velto::ui {

namespace {
const QString kNA = QStringLiteral("N/A");
} // namespace

ModbusConfigPanel::ModbusConfigPanel(MainWindow& main, modbus::ModbusMaster& master, Prompter& prompter,
    std::function<quint16()> currentSlaveId, std::function<void(const modbus::ModbusResult&)> countResult,
    QObject* parent)
    : QObject(parent)
    , m_main(main)
    , m_master(master)
    , m_prompter(prompter)
    , m_set(std::make_unique<Ui::SetModbusParametersPanel>())
    , m_setGet(std::make_unique<Ui::SetGetModbusParametersPanel>())
    , m_controller(master, prompter, std::move(currentSlaveId), std::move(countResult), this)
    , m_mayResumePolling([this] { return m_master.portOpen(); })
{
    Ui::ProtocolChoose& f = m_main.form();
    auto* setPanel = new QWidget(f.SetModbusParametersFrame);
    m_set->setupUi(setPanel);
    f.SetModbusParametersFrameLayout->addWidget(setPanel, 0, 0);
    auto* setGetPanel = new QWidget(f.SetGetModbusParametersFrame);
    m_setGet->setupUi(setGetPanel);
    f.SetGetModbusParametersFrameLayout->addWidget(setGetPanel, 0, 0);
    compactLayouts(f.SetModbusParametersFrame);
    compactLayouts(f.SetGetModbusParametersFrame);

    m_setGet->GetSetMdbusCommand->setText(kSetCaption);
    f.SetModbusParametersFrame->setEnabled(false);
    m_main.SetTankHeight1000TimesTimer->setInterval(config::kDefaultIntervalMs);
    m_controller.setPeriodicTankHeightHigh(true);
    wire();
}

ModbusConfigPanel::~ModbusConfigPanel() = default;

void ModbusConfigPanel::showCounters(MainWindow& main, int polls, int valid, int timeouts)
{
    Ui::ProtocolChoose& f = main.form();
    f.NumberOfPollsOneDeviceText->setText(QString::number(polls));
    f.ValidSlaveResponsesOneDeviceText->setText(QString::number(valid));
    f.ErrorModbus_TextBox->setText(QString::number(timeouts));
}

void ModbusConfigPanel::wire()
{
    Ui::SetModbusParametersPanel& s = *m_set;
    Ui::SetGetModbusParametersPanel& g = *m_setGet;
    config::ConfigController* c = &m_controller;

    connect(g.GetSetMdbusCommand, &QPushButton::clicked, this, &ModbusConfigPanel::GetSetMdbusCommand_Click);
    connect(s.SetTankHeightCommand, &QPushButton::clicked, c,
        [c, &s] { c->SetTankHeightCommand_Click(s.SetTankHeightText->text()); });
    connect(
        s.SetSbdCommand, &QPushButton::clicked, c, [c, &s] { c->SetSbdCommand_Click(s.SetSbdText->text()); });
    connect(
        s.Set4mACommand, &QPushButton::clicked, c, [c, &s] { c->Set4mACommand_Click(s.Set4mAText->text()); });
    connect(s.Set20mACommand, &QPushButton::clicked, c,
        [c, &s] { c->Set20mACommand_Click(s.Set20mAText->text()); });
    connect(s.SetMeasurementUnitCommand, &QPushButton::clicked, c,
        [c, &s] { c->SetMeasurementUnitCommand_Click(s.SetMeasurementUnitCombo->currentText()); });
    connect(s.SetIndicationModeComman, &QPushButton::clicked, c,
        [c, &s] { c->SetIndicationModeComman_Click(s.SetIndicationModeCombo->currentText()); });
    connect(c, &config::ConfigController::measurementUnitCleared, s.SetMeasurementUnitCombo,
        &QComboBox::clearEditText);
    connect(c, &config::ConfigController::indicationModeCleared, s.SetIndicationModeCombo,
        &QComboBox::clearEditText);

    connect(g.PresetMultipleRegsCommand, &QPushButton::clicked, c,
        [this] { m_controller.PresetMultipleRegsCommand_Click(inputs()); });
    connect(g.SelectedPresetMultipleRegistersCommand, &QPushButton::clicked, this,
        &ModbusConfigPanel::SelectedPresetMultipleRegistersCommand_Click);
    connect(g.CheckIllegalFunctionCommand, &QPushButton::clicked, c,
        &config::ConfigController::CheckIllegalFunctionCommand_Click);
    connect(g.CheckIllegalDataAddressCommand, &QPushButton::clicked, c,
        &config::ConfigController::CheckIllegalDataAddressCommand_Click);
    connect(g.SetMBStartAddText, &QLineEdit::textChanged, this, &ModbusConfigPanel::SetMBStartAddText_Change);
    connect(g.SetMBLengthText, &QLineEdit::textChanged, this, &ModbusConfigPanel::SetMBLengthText_Change);
    connect(g.SetPeriodicalTankHeightText, &QLineEdit::textChanged, this,
        &ModbusConfigPanel::SetPeriodicalTankHeightText_Change);
    connect(g.SetTankHeight1000TimesCommand, &QPushButton::clicked, this,
        &ModbusConfigPanel::SetTankHeight1000TimesCommand_Click);
    connect(m_main.SetTankHeight1000TimesTimer, &QTimer::timeout, c,
        &config::ConfigController::SetTankHeight1000TimesTimer_Timer);

    connect(c, &config::ConfigController::errorTextChanged, m_main.form().ModBusErrorMessageLabel_TextBox,
        &QLineEdit::setText);
}

void ModbusConfigPanel::GetSetMdbusCommand_Click()
{
    const QString mode = m_main.form().IndicationModeText->text();
    if (mode.isEmpty() || mode == kNA)
        m_prompter.message(kNoCommunication);
    if (m_configMode)
        leaveConfiguration();
    else
        enterConfiguration();
}

void ModbusConfigPanel::enterConfiguration()
{
    m_main.TimerModbusDataUpdate->stop();
    m_configMode = true;
    m_setGet->GetSetMdbusCommand->setText(kGetCaption);
    m_main.form().SetModbusParametersFrame->setEnabled(true);
    // Refilled on every entry; leaving empties them, so they never hold an entry twice.
    m_set->SetMeasurementUnitCombo->clear();
    m_set->SetMeasurementUnitCombo->addItems(config::measurementUnitEntries());
    m_set->SetIndicationModeCombo->clear();
    m_set->SetIndicationModeCombo->addItems(config::indicationModeEntries());
    emit configModeChanged(true);
}

void ModbusConfigPanel::leaveConfiguration()
{
    // Only a mode that polls gets its polling back; elsewhere the timer stays as the mode left it.
    if (m_mayResumePolling && m_mayResumePolling())
        m_main.TimerModbusDataUpdate->start();
    m_configMode = false;
    m_setGet->GetSetMdbusCommand->setText(kSetCaption);
    m_main.form().SetModbusParametersFrame->setEnabled(false);
    for (QLineEdit* box :
        { m_set->SetTankHeightText, m_set->SetSbdText, m_set->Set4mAText, m_set->Set20mAText })
        box->clear();
    m_set->SetMeasurementUnitCombo->clear();
    m_set->SetIndicationModeCombo->clear();
    emit configModeChanged(false);
}

config::BlockInputs ModbusConfigPanel::inputs() const
{
    return { m_set->SetTankHeightText->text(), m_set->Set4mAText->text(), m_set->Set20mAText->text(),
        m_set->SetIndicationModeCombo->currentText(), m_set->SetSbdText->text(),
        m_set->SetMeasurementUnitCombo->currentText() };
}

void ModbusConfigPanel::SelectedPresetMultipleRegistersCommand_Click()
{
    const auto slave = quint16(commitAddressBox(
        m_main.form().TxtOrvixId, veltoproto::orvixIdRule(veltoproto::AddressMode::Modbus), m_prompter));
    if (m_setSlaveId)
        m_setSlaveId(slave);
    m_controller.SelectedPresetMultipleRegistersCommand_Click(
        inputs(), m_setGet->SetMBStartAddText->text(), m_setGet->SetMBLengthText->text(), slave);
}

void ModbusConfigPanel::SetMBStartAddText_Change(const QString& text)
{
    const RangeDecision check = config::SetMBStartAddText_Change(text, m_prompter);
    if (check.replacementText)
        m_setGet->SetMBStartAddText->setText(*check.replacementText);
}

void ModbusConfigPanel::SetMBLengthText_Change(const QString& text)
{
    const RangeDecision check = config::SetMBLengthText_Change(text, m_prompter);
    if (check.replacementText)
        m_setGet->SetMBLengthText->setText(*check.replacementText);
}

void ModbusConfigPanel::SetPeriodicalTankHeightText_Change(const QString& text)
{
    const RangeDecision check = config::SetPeriodicalTankHeightText_Change(text, m_prompter);
    m_main.SetTankHeight1000TimesTimer->setInterval(check.value);
    if (check.replacementText)
        m_setGet->SetPeriodicalTankHeightText->setText(*check.replacementText);
}

void ModbusConfigPanel::stopPeriodicWriter()
{
    m_main.SetTankHeight1000TimesTimer->stop();
    m_setGet->SetTankHeight1000TimesCommand->setText(kStartPeriodicCaption);
}

void ModbusConfigPanel::SetTankHeight1000TimesCommand_Click()
{
    QPushButton* button = m_setGet->SetTankHeight1000TimesCommand;
    if (button->text() != kStopPeriodicCaption) {
        m_main.SetTankHeight1000TimesTimer->start();
        button->setText(kStopPeriodicCaption);
    } else {
        m_main.SetTankHeight1000TimesTimer->stop();
        button->setText(kStartPeriodicCaption);
    }
}

} // namespace velto::ui
