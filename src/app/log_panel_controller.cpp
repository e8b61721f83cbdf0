#include "app/log_panel_controller.h"

#include "ui_main_window.h"

#include <QScrollBar>

namespace velto::app {

LogPanelController::LogPanelController(MainContext& ctx, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_logger(ctx.prompter, clock, &ctx.window)
{
    Ui::ProtocolChoose& f = ctx.window.form();
    m_logger.setReadingsSource([this] { return shownReadings(); });
    connect(f.OpenFile, &QPushButton::clicked, this, &LogPanelController::OpenFile_Click);
    connect(f.CloseFile, &QPushButton::clicked, this, &LogPanelController::CloseFile_Click);
    connect(f.RateTime, &QLineEdit::textChanged, this, &LogPanelController::RateTime_Change);
    connect(&m_logger, &logging::ReadingsLogger::gridReset, this, &LogPanelController::resetGrid);
    connect(&m_logger, &logging::ReadingsLogger::rowLogged, this, &LogPanelController::addGridRow);
    connect(&m_logger, &logging::ReadingsLogger::pollingResumeRequested, this,
        &LogPanelController::resumePolling);
    f.MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    showFileControls(false);
}

void LogPanelController::mnuLog_Click()
{
    ui::MainWindow& w = m_ctx.window;
    Ui::ProtocolChoose& f = w.form();
    f.frmDataBase->setTitle(
        m_ctx.state.VeltoProtocolMode ? logging::kPanelCaptionVelto : logging::kPanelCaptionModbus);
    f.frmDataBase->show();
    // The Velto tick pauses while the file is chosen; the Modbus timer then only blinks in that mode.
    if (m_ctx.state.VeltoProtocolMode && m_ctx.connected()) {
        w.TimerVeltoProtocol->stop();
        emit w.pollingStopped();
        w.TimerModbusDataUpdate->start();
    }
}

void LogPanelController::showFileControls(bool open)
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    f.OpenFile->setVisible(!open);
    f.CloseFile->setVisible(open);
    f.CloseFile->setEnabled(open);
    f.RateTime->setVisible(open);
    f.Rate->setVisible(open);
    f.Sec->setVisible(open);
}

void LogPanelController::OpenFile_Click()
{
    Ui::ProtocolChoose& f = m_ctx.window.form();
    m_logger.timer().stop();
    f.RateTime->clear();
    logging::LogLayout layout;
    layout.mode = m_ctx.state.VeltoProtocolMode ? logging::LogMode::Velto : logging::LogMode::Modbus;
    layout.twoSensors = !f.LabelMultiSensor->isHidden();
    layout.volumeCaption = f.Vol_Flow_Tot_Ind_Label->text();
    if (!m_logger.chooseAndOpen(layout))
        return;
    showFileControls(true);
    f.MSFlexGrid1->show();
}

void LogPanelController::CloseFile_Click()
{
    m_logger.closeFile();
    showFileControls(false);
}

void LogPanelController::RateTime_Change()
{
    QLineEdit* box = m_ctx.window.form().RateTime;
    const logging::RateEntry entry = m_logger.setRateText(box->text());
    if (entry.kind == logging::RateEntry::Kind::Invalid)
        box->clear();
}

void LogPanelController::resumePolling()
{
    // Only a connected mode has a port to poll; the timers stay off otherwise.
    if (!m_ctx.connected() || !(m_ctx.SMRX1.portOpen() || m_ctx.VeltoComm.isOpen()))
        return;
    ui::MainWindow& w = m_ctx.window;
    if (m_ctx.state.VeltoProtocolMode) {
        w.TimerModbusDataUpdate->stop();
        w.TimerVeltoProtocol->start();
    } else {
        w.TimerModbusDataUpdate->start();
    }
}

void LogPanelController::resetGrid(const QStringList& header)
{
    QTableWidget* grid = m_ctx.window.form().MSFlexGrid1;
    grid->clear();
    grid->setRowCount(0);
    grid->setColumnCount(int(header.size()));
    grid->setHorizontalHeaderLabels(header);
    // A fresh log starts at its first column, whatever the last one showed.
    grid->scrollToTop();
    grid->horizontalScrollBar()->setValue(0);
}

void LogPanelController::addGridRow(const QStringList& cells)
{
    QTableWidget* grid = m_ctx.window.form().MSFlexGrid1;
    const int row = grid->rowCount();
    grid->insertRow(row);
    if (grid->columnCount() < cells.size())
        grid->setColumnCount(int(cells.size()));
    for (int c = 0; c < cells.size(); ++c)
        grid->setItem(row, c, new QTableWidgetItem(cells[c]));
    grid->scrollToBottom();
}

logging::LogReadings LogPanelController::shownReadings() const
{
    logging::LogReadings r;
    r.mode = m_ctx.state.VeltoProtocolMode ? logging::LogMode::Velto : logging::LogMode::Modbus;
    r.twoSensors = !m_ctx.window.form().LabelMultiSensor->isHidden();
    r.modbus = { m_ctx.text("ErrorStatusText"), m_ctx.text("IrDistance"), m_ctx.text("IrLevel"),
        m_ctx.text("IrTemperature"), m_ctx.text("Vol_Flow_Tot_Value_Text"), m_ctx.text("IrTankHeight"),
        m_ctx.text("IrMeasurementUnit") };
    for (int s = 0; s < 2; ++s) {
        const QString suffix = s == 0 ? QString() : QStringLiteral("2");
        r.velto[size_t(s)] = { m_ctx.text("VeltoDevSta" + suffix), m_ctx.text("TxtVeltoDist" + suffix),
            m_ctx.text("TextVeltoLevel" + suffix), m_ctx.text("TextVeltoTemp" + suffix),
            m_ctx.text("IrVeltoTnakHeight" + suffix) };
    }
    return r;
}

} // namespace velto::app
