#include "ui/form_rendo.h"

#include "common/prompter.h"
#include "modbus/debounced_text_check.h"
#include "radar/measurement_sequence.h"
#include "radar/monitoring_files.h"
#include "radar/monitoring_folder.h"
#include "radar/radar_box_names.h"
#include "radar/radar_controller.h"
#include "radar/radar_fields.h"
#include "serial/byte_link.h"
#include "ui/box_updates.h"
#include "ui/form_fft_or_raw_graph.h"
#include "ui/screen_fit.h"
#include "ui/steady_layout.h"
#include "ui/timeout_box.h"
#include "ui_form_rendo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>

namespace velto::ui {

namespace {
const QString kNA = QStringLiteral("N/A");
// A dump byte is " XX " (four characters); a line of the log box shows this many.
constexpr qsizetype kDumpBytesPerLine = 16;
constexpr qsizetype kDumpCharsPerByte = 4;

// The log box wraps a dump at byte boundaries itself: one paragraph of 64,000 characters takes the
// text layout tens of milliseconds, lines of 16 bytes are laid out only as they scroll into view.
QString dumpLines(const QString& dump)
{
    constexpr qsizetype lineChars = kDumpBytesPerLine * kDumpCharsPerByte;
    if (dump.size() <= lineChars)
        return dump;
    QString out;
    out.reserve(dump.size() + dump.size() / lineChars + 1);
    for (qsizetype at = 0; at < dump.size(); at += lineChars) {
        if (at > 0)
            out += QLatin1Char('\n');
        out += QStringView(dump).mid(at, lineChars);
    }
    return out;
}
} // namespace

FormRendo::FormRendo(serial::ByteLink& link, Prompter& prompter, const Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_ui(std::make_unique<Ui::FormRendo>())
    , m_prompter(prompter)
    , m_controller(new radar::RadarController(link, clock, this))
    , m_sequence(new radar::MeasurementSequence(*m_controller, this))
    , m_files(std::make_unique<radar::MonitoringFiles>(
          radar::defaultMonitoringFolder(), [this](const QString& text) { m_prompter.message(text); }))
{
    m_controller->setFileSink(m_files.get());
    m_ui->setupUi(this);
    compactLayouts(this);
    keepPlaces();
    fitToScreenOnShow(this);
    connect(m_controller, &radar::RadarController::boxesChanged, this, [this](QList<BoxUpdate> updates) {
        for (BoxUpdate& u : updates)
            if (m_dumpLayout && u.text && u.objectName == radar::box::kTextTerminaTextBox)
                u.text = dumpLines(*u.text);
        applyBoxUpdates(*this, updates);
    });
    connect(m_controller, &radar::RadarController::inputsWanted, this, &FormRendo::settlePendingChecks);
    connect(m_controller, &radar::RadarController::logLayoutChanged, this, &FormRendo::setLogLayout);
    connect(m_controller, &radar::RadarController::graphRequested, this, &FormRendo::DrawFFT);
    connect(m_controller, &radar::RadarController::fileReplaced, this, [this](const QString& path) {
        m_ui->TextTerminaTextBox->appendPlainText(QStringLiteral("Replaced the existing file %1").arg(path));
    });
    connect(m_sequence, &radar::MeasurementSequence::controlsChanged, this, &FormRendo::applyControls);
    connect(m_sequence, &radar::MeasurementSequence::beep, this, [](int times) {
        for (int i = 0; i < times; ++i)
            QApplication::beep();
    });
    connect(&link, &serial::ByteLink::lineLost, this, &FormRendo::showLineLost);
    wireButtons();
    wireChecks();
    wireFields();
    Form_Load();
}

FormRendo::~FormRendo()
{
    m_controller->setFileSink(nullptr);
}

void FormRendo::Form_Load()
{
    Ui::FormRendo& f = *m_ui;
    m_loaded = false;
    m_controller->link().restartClock();
    f.FftOrRawCombo->addItems({ QStringLiteral("FFT"), QStringLiteral("RAW") });
    f.FftOrRawCombo->setCurrentIndex(1);
    m_controller->FftOrRawCombo_Click(1);
    f.FileTypeCombo->addItem(QStringLiteral("TXT"));
    f.FileTypeCombo->setCurrentIndex(0);
    showBlockRanges();
    OpenMonitoringFileCheck_Click();
    showFilePath();
    setLogLayout(false);
    applyEnabling();
    m_loaded = true;
}

void FormRendo::wireButtons()
{
    Ui::FormRendo& f = *m_ui;
    radar::RadarController* c = m_controller;
    connect(f.Standby, &QPushButton::clicked, c, &radar::RadarController::Standby_Click);
    connect(f.Track, &QPushButton::clicked, c, &radar::RadarController::Track_Click);
    connect(f.Set_Parameters, &QPushButton::clicked, c, &radar::RadarController::Set_Parameters_Click);
    connect(f.SendStatus, &QPushButton::clicked, c, &radar::RadarController::SendStatus_Click);
    connect(f.MonitoringCommand, &QPushButton::clicked, c, &radar::RadarController::MonitoringCommand_Click);
    // A run reads the boxes from its first step on: what the operator typed last counts.
    connect(f.StartOrStopMeasCommand, &QPushButton::clicked, this, [this] {
        settlePendingChecks();
        m_sequence->StartOrStopMeasCommand_Click();
    });
    connect(f.MoreCommand, &QPushButton::clicked, this, [this] {
        settlePendingChecks();
        m_sequence->MoreCommand_Click();
    });
    connect(f.ExitCommand, &QPushButton::clicked, this, &FormRendo::ExitCommand_Click);
    connect(f.FftOrRawCombo, &QComboBox::activated, c, &radar::RadarController::FftOrRawCombo_Click);
}

void FormRendo::wireChecks()
{
    Ui::FormRendo& f = *m_ui;
    radar::RadarInputs& in = m_controller->inputs();
    connect(f.PeriodicalMeasurementCheck, &QCheckBox::clicked, this,
        &FormRendo::PeriodicalMeasurementCheck_Click);
    connect(f.SpectrumCheck, &QCheckBox::clicked, this, [this] { dataCheck_Click(m_ui->SpectrumCheck); });
    connect(f.TimeDomainCheck, &QCheckBox::clicked, this, [this] { dataCheck_Click(m_ui->TimeDomainCheck); });
    connect(f.PresentCheck, &QCheckBox::clicked, this, &FormRendo::showBlockRanges);
    connect(f.OpenMonitoringFileCheck, &QCheckBox::clicked, this, &FormRendo::OpenMonitoringFileCheck_Click);
    // The logic follows every change of a box, whether the operator or the interplay made it.
    connect(f.PeriodicalMeasurementCheck, &QCheckBox::toggled, this, [&in](bool on) { in.periodical = on; });
    connect(f.SpectrumCheck, &QCheckBox::toggled, this, [&in](bool on) { in.spectrum = on; });
    connect(f.TimeDomainCheck, &QCheckBox::toggled, this, [&in](bool on) { in.timeDomain = on; });
    connect(f.PresentCheck, &QCheckBox::toggled, this, [&in](bool on) { in.graph = on; });
    connect(f.OpenMonitoringFileCheck, &QCheckBox::toggled, this, [&in](bool on) { in.saveToFile = on; });
    connect(f.FileTypeCombo, &QComboBox::currentIndexChanged, this,
        [&in](int index) { in.fileTypeIndex = index; });
    connect(f.FileNameText, &QLineEdit::textChanged, this, [this, &in](const QString& text) {
        in.fileName = text;
        showFilePath();
    });
    connect(f.DistanceByLaserText, &QLineEdit::textChanged, this,
        [&in](const QString& text) { in.distanceByLaser = text; });
    in.saveToFile = f.OpenMonitoringFileCheck->isChecked();
}

void FormRendo::wireFields()
{
    Ui::FormRendo& f = *m_ui;
    addFieldCheck(f.NumOfAutomeasurementText, radar::kNumOfAutomeasurementRule);
    addFieldCheck(f.TankHeightTextBox, radar::kTankHeightRule);
    addFieldCheck(f.CentralFrequencyText, radar::kCentralFrequencyRule);
    addFieldCheck(f.BandTextBox, radar::kBandRule);
    addFieldCheck(f.TrueLiquidHeightTextBox, radar::kTrueLiquidHeightRule);
    addFieldCheck(f.RTSDelayText, radar::kRtsDelayRule);
    addFieldCheck(f.DistanceOffsetText, radar::kDistanceOffsetRule);
    addBlockChecks(f.FFTStartBlockText, f.FFTEndBlockText, radar::kFftBlockLimits, true);
    addBlockChecks(f.RAWStartBlockText, f.RAWEndBlockText, radar::kRawBlockLimits, false);
}

void FormRendo::addFieldCheck(QLineEdit* box, const radar::FieldRule& rule)
{
    auto* check = new modbus::DebouncedTextCheck(this);
    m_checks << check;
    connect(box, &QLineEdit::textChanged, check, [this, check](const QString& text) {
        if (m_loaded)
            check->textChanged(text);
    });
    connect(check, &modbus::DebouncedTextCheck::settled, this, [this, box, &rule](const QString& text) {
        const radar::FieldDecision decision = radar::checkField(rule, text);
        if (decision.message) {
            m_prompter.message(*decision.message);
            putBack(box, rule.defaultText());
        }
        radar::applyField(m_controller->inputs(), rule, decision.value);
    });
}

void FormRendo::addBlockChecks(QLineEdit* start, QLineEdit* end, const radar::BlockLimits& limits, bool fft)
{
    auto range = [this, fft]() -> radar::BlockRange& {
        return fft ? m_controller->inputs().fft : m_controller->inputs().raw;
    };
    auto show = [start, end](const radar::BlockRange& r) {
        putBack(start, QString::number(r.start));
        putBack(end, QString::number(r.end));
    };
    for (QLineEdit* box : { start, end }) {
        auto* check = new modbus::DebouncedTextCheck(this);
        m_checks << check;
        connect(box, &QLineEdit::textChanged, check, [this, check](const QString& text) {
            if (m_loaded)
                check->textChanged(text);
        });
        const bool isStart = box == start;
        connect(check, &modbus::DebouncedTextCheck::settled, this,
            [range, show, &limits, isStart](const QString& text) {
                radar::BlockRange& r = range();
                r = isStart ? radar::checkBlockStart(limits, r, text) : radar::checkBlockEnd(limits, r, text);
                show(r);
            });
    }
}

void FormRendo::keepPlaces()
{
    // The boxes that come and go with the check boxes keep their space, so nothing below them (Start,
    // More, Exit) moves under the operator's pointer.
    Ui::FormRendo& f = *m_ui;
    for (QWidget* w : std::initializer_list<QWidget*> { f.NumOfAutomeasurementLabel,
             f.NumOfAutomeasurementText, f.CounterOfMeasLabel, f.CounterOfMeasText, f.SpectrumRangeLabel,
             f.FFTStartBlockLabel, f.FFTStartBlockText, f.FFTEndBlockLabel, f.FFTEndBlockText, f.RawFftLine,
             f.TimeDomainRangeLabel, f.RAWStartBlockLabel, f.RAWStartBlockText, f.RAWEndBlockLabel,
             f.RAWEndBlockText, f.FileTypeLabel, f.FileTypeCombo, f.FileNameLabel, f.FileNameText })
        keepPlaceWhenHidden(w);
}

void FormRendo::settlePendingChecks()
{
    for (auto* check : std::as_const(m_checks))
        check->settleNow();
}

void FormRendo::PeriodicalMeasurementCheck_Click()
{
    Ui::FormRendo& f = *m_ui;
    const bool periodical = f.PeriodicalMeasurementCheck->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*> { f.NumOfAutomeasurementLabel,
             f.NumOfAutomeasurementText, f.CounterOfMeasLabel, f.CounterOfMeasText })
        w->setVisible(!periodical);
    if (periodical) {
        f.SpectrumCheck->setChecked(false);
        f.TimeDomainCheck->setChecked(false);
    }
    f.SpectrumCheck->setEnabled(!periodical);
    f.TimeDomainCheck->setEnabled(!periodical);
    showBlockRanges();
}

void FormRendo::dataCheck_Click(QCheckBox* clicked)
{
    Ui::FormRendo& f = *m_ui;
    m_lastDataCheck = clicked;
    if (f.SpectrumCheck->isChecked() || f.TimeDomainCheck->isChecked())
        f.PeriodicalMeasurementCheck->setChecked(false);
    applyEnabling();
    showBlockRanges();
}

void FormRendo::showBlockRanges()
{
    Ui::FormRendo& f = *m_ui;
    const bool graph = f.PresentCheck->isChecked();
    const bool fft = graph && f.SpectrumCheck->isChecked();
    const bool raw = graph && f.TimeDomainCheck->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*> { f.SpectrumRangeLabel, f.FFTStartBlockLabel,
             f.FFTStartBlockText, f.FFTEndBlockLabel, f.FFTEndBlockText })
        w->setVisible(fft);
    for (QWidget* w : std::initializer_list<QWidget*> { f.TimeDomainRangeLabel, f.RAWStartBlockLabel,
             f.RAWStartBlockText, f.RAWEndBlockLabel, f.RAWEndBlockText })
        w->setVisible(raw);
    f.RawFftLine->setVisible(m_lastDataCheck == f.TimeDomainCheck ? raw : m_lastDataCheck ? fft : false);
}

void FormRendo::OpenMonitoringFileCheck_Click()
{
    Ui::FormRendo& f = *m_ui;
    const bool save = f.OpenMonitoringFileCheck->isChecked();
    for (QWidget* w :
        std::initializer_list<QWidget*> { f.FileTypeCombo, f.FileNameText, f.FileTypeLabel, f.FileNameLabel })
        w->setVisible(save);
}

void FormRendo::setConnected(bool connected)
{
    m_connected = connected;
    if (!connected)
        m_ui->TextTerminaTextBox->setPlainText(kNA);
    applyEnabling();
}

void FormRendo::setLineSettings(const QString& settings)
{
    m_controller->link().setLineSettings(settings);
}

void FormRendo::setMonitoringFolder(const QString& folder)
{
    m_files->setFolder(folder);
    showFilePath();
}

void FormRendo::showFilePath()
{
    const QString path = radar::monitoringFilePath(m_files->folder(), m_ui->FileNameText->text());
    m_ui->FileNameText->setToolTip(QDir::toNativeSeparators(QDir::cleanPath(path)));
}

void FormRendo::applyControls(const radar::SequenceControls& controls)
{
    m_ui->StartOrStopMeasCommand->setText(controls.startCaption);
    applyEnabling();
}

void FormRendo::applyEnabling()
{
    Ui::FormRendo& f = *m_ui;
    const radar::SequenceControls& c = m_sequence->controls();
    for (QPushButton* b : { f.Standby, f.Track, f.Set_Parameters, f.SendStatus, f.MonitoringCommand })
        b->setEnabled(m_connected && c.manualEnabled);
    f.StartOrStopMeasCommand->setEnabled(m_connected);
    f.MoreCommand->setEnabled(m_connected && c.moreEnabled);
    // While a data kind is ticked the periodical series is not on offer.
    const bool dataTicked = f.SpectrumCheck->isChecked() || f.TimeDomainCheck->isChecked();
    f.PeriodicalMeasurementCheck->setEnabled(c.periodicalEnabled && !dataTicked);
}

void FormRendo::setLogLayout(bool dump)
{
    m_dumpLayout = dump;
    QTextOption option = m_ui->TextTerminaTextBox->document()->defaultTextOption();
    option.setAlignment(dump ? Qt::AlignLeft : Qt::AlignHCenter);
    m_ui->TextTerminaTextBox->document()->setDefaultTextOption(option);
}

void FormRendo::showLineLost(const QString& text)
{
    // Without the line a run would resend its command for ever; it stops, and the commands wait
    // until the operator has connected again and reopened the window.
    if (m_sequence->running() || m_sequence->state() == radar::MeasurementSequence::State::Finished)
        m_sequence->StartOrStopMeasCommand_Click();
    m_controller->link().finishReply();
    setConnected(false);
    setLogLayout(false);
    m_ui->TextTerminaTextBox->setPlainText(QStringLiteral("Serial line lost: %1").arg(text));
}

void FormRendo::DrawFFT(const radar::GraphRequest& request)
{
    if (!m_graph)
        m_graph = std::make_unique<Form_FFT_Or_RAW_Graph>(m_prompter, this);
    m_graph->DrawFFT(request);
}

void FormRendo::ExitCommand_Click()
{
    m_exiting = true;
    m_loaded = false;
    for (auto* check : std::as_const(m_checks))
        check->cancel();
    if (m_sequence->running())
        m_sequence->StartOrStopMeasCommand_Click();
    m_controller->link().finishReply();
    if (m_graph)
        m_graph->hide();
    hide();
    emit exited();
}

void FormRendo::closeEvent(QCloseEvent* event)
{
    // Closing by the frame leaves the same way as Exit.
    if (!m_exiting)
        ExitCommand_Click();
    event->accept();
}

} // namespace velto::ui
