#include "ui/multi_sensor_calibration_window.h"

#include "calibration/calibration_session.h"
#include "calibration/calibration_state.h"
#include "calibration/calibration_texts.h"
#include "calibration/current_output.h"
#include "common/prompter.h"
#include "ui/box_updates.h"
#include "ui/screen_fit.h"
#include "ui_multi_sensor_calibration_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QSignalBlocker>

namespace velto::ui {

using calibration::TransceiverParameter;

MultiSensorCalibrationWindow::MultiSensorCalibrationWindow(serial::ByteLink& link,
    calibration::CalibrationState& state, Prompter& prompter, PollingStop stopPolling, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_stopPolling(std::move(stopPolling))
    , m_prompter(prompter)
    , m_state(state)
    , m_ui(std::make_unique<Ui::FormMultiSensorCalibration>())
    , m_session(new calibration::CalibrationSession(link, state, this))
{
    m_ui->setupUi(this);
    Ui::FormMultiSensorCalibration& f = *m_ui;
    m_relayChecks = { f.RelayNo1Check, f.RelayNo2Check, f.RelayNo3Check, f.RelayNo4Check, f.RelayNo5Check,
        f.RelayNo6Check, f.MultiSensorRelayCheck };
    for (const auto& row : calibration::currentRows())
        f.CurrentCombo->addItem(QString::fromLatin1(row.text));
    for (const auto& row : calibration::transceiverRows())
        f.RxTxParametersCombo->addItem(QString::fromLatin1(row.text));
    f.Current4_20Slider->setRange(calibration::kMinCurrentCode, calibration::kMaxCurrentCode);
    fixCaptionWidths();
    compactLayouts(this);
    fitToScreenOnShow(this);
    wire();
}

MultiSensorCalibrationWindow::~MultiSensorCalibrationWindow() = default;

void MultiSensorCalibrationWindow::fixCaptionWidths()
{
    // The captions and the unit change with the row; their widest forms are reserved up front so
    // that nothing in the panel moves when another row is chosen.
    Ui::FormMultiSensorCalibration& f = *m_ui;
    int caption = 0;
    int unit = 0;
    for (const auto& row : calibration::transceiverRows()) {
        for (const char* text : { row.valueCaption, row.codeCaption })
            caption = std::max(caption, f.TransceiverActualValueLabel->fontMetrics().horizontalAdvance(text));
        unit = std::max(unit, f.UnitLabel->fontMetrics().horizontalAdvance(QString::fromUtf8(row.unit)));
    }
    f.TransceiverActualValueLabel->setMinimumWidth(caption);
    f.TransceiverValueLabel->setMinimumWidth(caption);
    f.UnitLabel->setMinimumWidth(unit);
}

void MultiSensorCalibrationWindow::wire()
{
    Ui::FormMultiSensorCalibration& f = *m_ui;
    connect(f.RxTxParametersCombo, &QComboBox::currentIndexChanged, this,
        &MultiSensorCalibrationWindow::RxTxParametersCombo_Click);
    connect(f.TransceiverSlider, &QSlider::valueChanged, this,
        &MultiSensorCalibrationWindow::TransceiverSlider_Change);
    connect(f.CurrentCombo, &QComboBox::currentIndexChanged, this,
        &MultiSensorCalibrationWindow::CurrentCombo_Click);
    connect(f.Current4_20Slider, &QSlider::valueChanged, this,
        &MultiSensorCalibrationWindow::Current4_20Slider_Change);
    connect(f.TxRxParametersCommand, &QPushButton::clicked, this,
        &MultiSensorCalibrationWindow::TxRxParametersCommand_Click);
    connect(f.Current4_20Command, &QPushButton::clicked, this,
        &MultiSensorCalibrationWindow::Current4_20Command_Click);
    connect(f.DefaultParamrtersCommand, &QPushButton::clicked, this,
        &MultiSensorCalibrationWindow::DefaultParamrtersCommand_Click);
    connect(f.TransceiverActualValueText, &QLineEdit::editingFinished, this,
        &MultiSensorCalibrationWindow::TransceiverActualValueText_LostFocus);
    connect(f.ActualCurrentText, &QLineEdit::editingFinished, this,
        &MultiSensorCalibrationWindow::ActualCurrentText_LostFocus);
    for (int i = 0; i < m_relayChecks.size(); ++i) {
        connect(m_relayChecks.at(i), &QCheckBox::toggled, this,
            [this, relay = i + 1](bool on) { RelayCheck_Click(relay, on); });
    }
    connect(m_session, &calibration::CalibrationSession::busyChanged, this,
        [this](bool busy) { setCommandsEnabled(!busy); });
    connect(m_session, &calibration::CalibrationSession::rememberedChanged, this,
        &MultiSensorCalibrationWindow::showValueBoxes);
    connect(m_session, &calibration::CalibrationSession::sendFailed, this,
        [this](const QString& text) { m_prompter.message(text, QString(), Prompter::Icon::Warning); });
}

void MultiSensorCalibrationWindow::Form_Load(bool connected)
{
    Ui::FormMultiSensorCalibration& f = *m_ui;
    if (m_stopPolling)
        m_stopPolling();
    const int parameterRow = m_state.CalibrationShownBefore ? m_state.ParameterIndex : 0;
    const int currentRow = m_state.CalibrationShownBefore ? m_state.CurrentIndex : 0;
    {
        const QSignalBlocker blockParameters(f.RxTxParametersCombo);
        const QSignalBlocker blockCurrents(f.CurrentCombo);
        f.RxTxParametersCombo->setCurrentIndex(parameterRow);
        f.CurrentCombo->setCurrentIndex(currentRow);
    }
    RxTxParametersCombo_Click();
    CurrentCombo_Click();
    showValueBoxes();
    m_RestoringRelays = true;
    for (int i = 0; i < m_relayChecks.size(); ++i)
        m_relayChecks.at(i)->setChecked(m_state.relay(i + 1));
    m_RestoringRelays = false;
    m_state.CalibrationShownBefore = true;

    for (QWidget* frame : std::initializer_list<QWidget*> { f.CurrentCalibrationFrame,
             f.UltrasonicTransceiverCalibrationFrame, f.RelaysStatusFrame,
             f.TransceiverDefaultParametersFrame, f.TransmitterReceiverParametersValueFrame })
        frame->setEnabled(connected);
    setCommandsEnabled(!m_session->busy());
}

TransceiverParameter MultiSensorCalibrationWindow::selectedParameter() const
{
    return calibration::transceiverParameterAt(m_ui->RxTxParametersCombo->currentIndex())
        .value_or(TransceiverParameter::Pulses);
}

void MultiSensorCalibrationWindow::RxTxParametersCombo_Click()
{
    Ui::FormMultiSensorCalibration& f = *m_ui;
    const TransceiverParameter parameter = selectedParameter();
    const calibration::TransceiverRow& row = calibration::transceiverRow(parameter);
    {
        // Range and position change together; the texts follow once, for the final position.
        const QSignalBlocker block(f.TransceiverSlider);
        f.TransceiverSlider->setRange(row.minCode, row.maxCode);
        f.TransceiverSlider->setValue(m_state.code(parameter));
    }
    // The switch's value is the power value: it is set by the slider only.
    f.TransceiverActualValueText->setReadOnly(parameter == TransceiverParameter::PowerX10);
    TransceiverSlider_Change();
}

void MultiSensorCalibrationWindow::TransceiverSlider_Change()
{
    applyBoxUpdates(*this,
        calibration::transceiverPanelTexts(selectedParameter(), m_ui->TransceiverSlider->value(), m_state));
}

void MultiSensorCalibrationWindow::CurrentCombo_Click()
{
    Ui::FormMultiSensorCalibration& f = *m_ui;
    const auto output = calibration::currentOutputAt(f.CurrentCombo->currentIndex());
    if (!output)
        return;
    const QSignalBlocker block(f.Current4_20Slider);
    f.Current4_20Slider->setValue(calibration::currentRow(*output).startCode);
    Current4_20Slider_Change();
}

void MultiSensorCalibrationWindow::Current4_20Slider_Change()
{
    applyBoxUpdates(*this, calibration::currentPanelTexts(m_ui->Current4_20Slider->value()));
}

void MultiSensorCalibrationWindow::TxRxParametersCommand_Click()
{
    m_session->updateTransceiver(selectedParameter(), m_ui->TransceiverSlider->value());
}

void MultiSensorCalibrationWindow::Current4_20Command_Click()
{
    if (const auto output = calibration::currentOutputAt(m_ui->CurrentCombo->currentIndex()))
        m_session->updateCurrent(*output, m_ui->Current4_20Slider->value());
}

void MultiSensorCalibrationWindow::DefaultParamrtersCommand_Click()
{
    if (!m_session->restoreDefaults())
        return;
    // Once the defaults are the unit's, the slider shows the chosen row's default too.
    connect(m_session, &calibration::CalibrationSession::sequenceFinished, this,
        &MultiSensorCalibrationWindow::RxTxParametersCombo_Click, Qt::SingleShotConnection);
}

void MultiSensorCalibrationWindow::RelayCheck_Click(int relay, bool on)
{
    if (m_RestoringRelays)
        return;
    if (m_session->switchRelay(relay, on))
        return;
    // Not sent: the box goes back to the state the unit still has.
    m_RestoringRelays = true;
    m_relayChecks.at(relay - 1)->setChecked(!on);
    m_RestoringRelays = false;
}

void MultiSensorCalibrationWindow::TransceiverActualValueText_LostFocus()
{
    QLineEdit* box = m_ui->TransceiverActualValueText;
    if (!box->isModified())
        return;
    box->setModified(false);
    const auto code = calibration::transceiverCodeFromText(selectedParameter(), box->text());
    if (!code) {
        m_prompter.message(calibration::invalidTransceiverValueText(selectedParameter()));
        TransceiverSlider_Change();
        return;
    }
    m_ui->TransceiverSlider->setValue(*code);
    // Moving to where it already is emits nothing; the box still shows the value of the code.
    TransceiverSlider_Change();
}

void MultiSensorCalibrationWindow::ActualCurrentText_LostFocus()
{
    QLineEdit* box = m_ui->ActualCurrentText;
    if (!box->isModified())
        return;
    box->setModified(false);
    const auto code = calibration::currentCodeFromText(box->text());
    if (!code) {
        m_prompter.message(calibration::invalidCurrentText());
        Current4_20Slider_Change();
        return;
    }
    m_ui->Current4_20Slider->setValue(*code);
    Current4_20Slider_Change();
}

void MultiSensorCalibrationWindow::showValueBoxes()
{
    applyBoxUpdates(*this, calibration::valueBoxTexts(m_state));
}

void MultiSensorCalibrationWindow::setCommandsEnabled(bool enabled)
{
    Ui::FormMultiSensorCalibration& f = *m_ui;
    const std::initializer_list<QPushButton*> commands
        = { f.Current4_20Command, f.TxRxParametersCommand, f.DefaultParamrtersCommand };
    // A disabled button hands its focus to the next control, a relay box that Space would switch:
    // the window holds it meanwhile, and the button gets it back.
    if (!enabled) {
        for (QPushButton* command : commands) {
            if (command->hasFocus()) {
                m_focusedCommand = command;
                setFocus(Qt::OtherFocusReason);
            }
        }
    }
    for (QPushButton* command : commands)
        command->setEnabled(enabled);
    if (enabled && m_focusedCommand) {
        if (hasFocus())
            m_focusedCommand->setFocus(Qt::OtherFocusReason);
        m_focusedCommand = nullptr;
    }
}

void MultiSensorCalibrationWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MultiSensorCalibrationWindow::closeEvent(QCloseEvent* event)
{
    // A follow-up still due goes out on its own; the window only hands the screen back.
    event->accept();
    emit closed();
}

} // namespace velto::ui
