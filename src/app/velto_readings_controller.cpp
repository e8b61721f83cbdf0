#include "app/velto_readings_controller.h"

#include "common/colors.h"
#include "ui/box_updates.h"
#include "ui/tank_picture.h"
#include "ui_main_window.h"

namespace velto::app {

VeltoReadingsController::VeltoReadingsController(MainContext& ctx, QObject* parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_poller(ctx.VeltoComm)
{
    ui::MainWindow& w = ctx.window;
    Ui::ProtocolChoose& f = w.form();
    // The main window's TimerVeltoProtocol paces the ticks; the address and mode are handed over
    // just before each one.
    connect(w.TimerVeltoProtocol, &QTimer::timeout, this, &VeltoReadingsController::TimerVeltoProtocol_Timer);
    m_poller.setTickTimer(*w.TimerVeltoProtocol);
    connect(&w, &ui::MainWindow::pollingStopped, &m_poller, &veltoproto::VeltoPoller::stop);
    connect(&ctx.VeltoComm, &serial::ByteLink::closed, &m_poller, &veltoproto::VeltoPoller::stop);
    connect(&ctx.VeltoComm, &serial::ByteLink::lineLost, this, &VeltoReadingsController::showLineLost);
    connect(
        &m_poller, &veltoproto::VeltoPoller::displayUpdated, this, &VeltoReadingsController::applyDisplay);
    connect(&m_poller, &veltoproto::VeltoPoller::blink, this, &VeltoReadingsController::toggleMarks);
    connect(&m_poller, &veltoproto::VeltoPoller::unanswered, this,
        [this](const QList<BoxUpdate>& updates) { ui::applyBoxUpdates(m_ctx.window, updates); });
    connect(f.MeasurementUnitCombo, &QComboBox::currentTextChanged, this,
        [this] { MeasurementUnitCombo_Click(0); });
    connect(f.MeasurementUnitCombo2, &QComboBox::currentTextChanged, this,
        [this] { MeasurementUnitCombo_Click(1); });
    connect(f.TextVeltoLevel, &QLineEdit::textChanged, this, &VeltoReadingsController::TextVeltoLevel_Change);
}

void VeltoReadingsController::TimerVeltoProtocol_Timer()
{
    m_poller.setAddress(m_ctx.state.CurrentSlaveId);
    m_poller.setProtocolMode(m_ctx.state.VeltoProtocolMode);
}

void VeltoReadingsController::applyDisplay(const veltoproto::DisplayUpdate& update)
{
    ui::applyBoxUpdates(m_ctx.window, update.boxes);
    if (update.layout) {
        // Captions of the second column follow its boxes.
        const bool two = *update.layout == veltoproto::Layout::TwoSensors;
        Ui::ProtocolChoose& f = m_ctx.window.form();
        for (QWidget* caption : std::initializer_list<QWidget*> {
                 f.labelVeltoDist2, f.LabelVeltoTnakHeight2, f.LabelVeltoLevel2, f.LabelVeltoTemp2 })
            caption->setVisible(two);
    }
}

void VeltoReadingsController::MeasurementUnitCombo_Click(int sensor)
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    QComboBox* selector = sensor == 0 ? f.MeasurementUnitCombo : f.MeasurementUnitCombo2;
    m_poller.setUnitText(sensor, selector->currentText());
    ui::applyBoxUpdates(m_ctx.window, m_poller.sensorValues(sensor));
}

void VeltoReadingsController::toggleMarks()
{
    m_marksOn = !m_marksOn;
    Ui::ProtocolChoose& f = m_ctx.window.form();
    for (QWidget* mark : std::initializer_list<QWidget*> {
             f.RedPoint, f.lineSens0, f.lineSens1, f.lineSens2, f.lineSens3, f.lineSens4, f.lineSens5 })
        mark->setVisible(m_marksOn);
}

void VeltoReadingsController::showLineLost(const QString& text)
{
    if (!m_ctx.state.VeltoProtocolMode)
        return;
    // In the status box of each sensor shown, where the replies' statuses go; the readings stay.
    Ui::ProtocolChoose& f = m_ctx.window.form();
    const QString shown = QStringLiteral("Serial line lost: %1").arg(text);
    QList<QLineEdit*> boxes { f.VeltoDevSta };
    if (!f.VeltoDevSta2->isHidden())
        boxes << f.VeltoDevSta2;
    for (QLineEdit* status : boxes) {
        ui::MainWindow::setStyledText(status, shown, true, kRed);
        status->setToolTip(shown);
    }
}

void VeltoReadingsController::TextVeltoLevel_Change()
{
    if (!m_ctx.state.VeltoProtocolMode)
        return;
    Ui::ProtocolChoose& f = m_ctx.window.form();
    f.pictTank->DrawTankLevel(f.TextVeltoLevel->text(), f.IrVeltoTnakHeight->text());
}

} // namespace velto::app
