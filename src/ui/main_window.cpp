#include "ui/main_window.h"

#include "ui/eliding_line_edit.h"
#include "ui/screen_fit.h"
#include "ui/steady_layout.h"
#include "ui_main_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>

namespace velto::ui {

namespace {
constexpr int kDefaultXmtTimeoutMs = 300;
constexpr int kJump2DevicesMs = 10000;
constexpr int kVeltoTickMs = 1000;
constexpr int kTankHeightTestMs = 5000;
} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , TimerModbusDataUpdate(makeTimer("TimerModbusDataUpdate", kDefaultXmtTimeoutMs))
    , TimerForModbusDevices(makeTimer("TimerForModbusDevices", kDefaultXmtTimeoutMs))
    , TimerForJump2DevicesModbus(makeTimer("TimerForJump2DevicesModbus", kJump2DevicesMs))
    , TimerVeltoProtocol(makeTimer("TimerVeltoProtocol", kVeltoTickMs))
    , TimerSingleMultiRegisters(makeTimer("TimerSingleMultiRegisters", 1000))
    , SetTankHeight1000TimesTimer(makeTimer("SetTankHeight1000TimesTimer", kTankHeightTestMs))
    , m_ui(std::make_unique<Ui::ProtocolChoose>())
{
    m_ui->setupUi(this);
    // The panels of the busiest mode need most of a laptop screen: tight spacing, and what still
    // does not fit scrolls instead of pushing the window past the screen's edge.
    compactLayouts(m_ui->centralwidget);
    makeScrollable(m_ui->centralwidget);
    fitToScreenOnShow(this);
    holdPanelsSteady();
    connect(this, &MainWindow::pollingStopped, this, &MainWindow::hideActivityMarks);
}

void MainWindow::hideActivityMarks()
{
    Ui::ProtocolChoose& f = *m_ui;
    for (QWidget* mark : std::initializer_list<QWidget*> {
             f.RedPoint, f.lineSens0, f.lineSens1, f.lineSens2, f.lineSens3, f.lineSens4, f.lineSens5 })
        mark->hide();
}

void MainWindow::holdPanelsSteady()
{
    Ui::ProtocolChoose& f = *m_ui;
    for (QWidget* w : std::initializer_list<QWidget*> { f.RedPoint, f.lineSens0, f.lineSens1, f.lineSens2,
             f.lineSens3, f.lineSens4, f.lineSens5, f.Vol_Flow_Tot_Ind_Label, f.Vol_Flow_Tot_Value_Text,
             f.Vol_Flow_Tot_Unit_Label, f.LabelMultiSensor })
        keepPlaceWhenHidden(w);

    // Every text these labels take in any mode.
    const QStringList units { "meter", "feet", "inch", "M3/Hr", "G.P.M", "Celsious ", "Celsius", "N/A" };
    for (QWidget* label : std::initializer_list<QWidget*> { f.LabelTankHeight, f.Current4mALabel,
             f.Current20mALabel, f.SbdLabelUnit, f.Interference1UnitLabel, f.Interference2UnitLabel,
             f.Interference3UnitLabel, f.Interference4UnitLabel, f.Interference5UnitLabel,
             f.Interference6UnitLabel, f.Interference7UnitLabel, f.Interference8UnitLabel, f.LabelDist,
             f.LabelLevel, f.LabelModBusTemp, f.Vol_Flow_Tot_Unit_Label, f.labelVeltoDist,
             f.LabelVeltoTnakHeight, f.LabelVeltoLevel, f.LabelVeltoTemp, f.labelVeltoDist2,
             f.LabelVeltoTnakHeight2, f.LabelVeltoLevel2, f.LabelVeltoTemp2 })
        reserveWidthFor(label, units);
    for (QWidget* relay :
        std::initializer_list<QWidget*> { f.LabelRel1, f.LabelRel2, f.LabelRel3, f.LabelRel4, f.LabelRel5 })
        reserveWidthFor(relay, { "open", "close", "N/A" });
    reserveWidthFor(f.Vol_Flow_Tot_Ind_Label, { "Flow", "Totalization", "Volume" });
    reserveWidthFor(f.Label26, { "Unit", "Units" });
    reserveWidthFor(f.LabelSensorNo1, { "Single Sensor", "Sensor No. 1" });
    // "Two-Sensor Unit" heads the row of the sensors' names, a few blanks before the first of them.
    constexpr int kBlanksAfterUnit = 3;
    f.LabelMultiSensor->setContentsMargins(
        0, 0, kBlanksAfterUnit * f.LabelMultiSensor->fontMetrics().horizontalAdvance(QLatin1Char(' ')), 0);
    reserveWidthFor(f.LabelOrvixId, { "Insert Orvix 1 ID", "Insert Orvix ID" });
    // The master's usual failures fit whole; anything longer ends in an ellipsis.
    f.ModBusErrorMessageLabel_TextBox->reserveRoomFor(
        { "Time-out: no response from slave 247 within 30000 ms",
            "Gateway Target Device Failed To Respond (exception 11)" });
}

MainWindow::~MainWindow() = default;

QTimer* MainWindow::makeTimer(const char* name, int intervalMs)
{
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    return timer;
}

QAction* MainWindow::entry(const QString& name) const
{
    if (auto* menu = findChild<QMenu*>(name))
        return menu->menuAction();
    return findChild<QAction*>(name);
}

void MainWindow::stopTrafficTimers()
{
    for (QTimer* t : { TimerModbusDataUpdate, TimerVeltoProtocol, TimerForJump2DevicesModbus,
             TimerSingleMultiRegisters, TimerForModbusDevices })
        t->stop();
    emit pollingStopped();
}

void MainWindow::stopPollingTimers()
{
    TimerModbusDataUpdate->stop();
    TimerVeltoProtocol->stop();
    TimerForJump2DevicesModbus->stop();
    emit pollingStopped();
}

void MainWindow::stopVeltoPolling()
{
    if (!TimerVeltoProtocol->isActive())
        return;
    TimerVeltoProtocol->stop();
    emit pollingStopped();
}

void MainWindow::setStyledText(QWidget* box, const QString& text, bool bold, const QColor& color)
{
    if (!box)
        return;
    QFont font = box->font();
    font.setBold(bold);
    box->setFont(font);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Text, color);
    pal.setColor(QPalette::WindowText, color);
    box->setPalette(pal);
    if (auto* edit = qobject_cast<QLineEdit*>(box))
        edit->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(box))
        label->setText(text);
}

void MainWindow::setStyledText(QWidget* box, const QString& text, bool bold)
{
    setStyledText(box, text, bold, QPalette().color(QPalette::ButtonText));
}

} // namespace velto::ui
