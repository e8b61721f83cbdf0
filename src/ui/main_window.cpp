#include "ui/main_window.h"

#include "ui_main_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>

namespace velto::ui {

namespace {
constexpr int kDefaultXmtTimeoutMs = 300;
constexpr int kJump2DevicesMs = 10000;
constexpr int kVeltoTickMs = 1000;
constexpr int kRadarRxMs = 250;
constexpr int kTankHeightTestMs = 5000;
constexpr QSize kPreferredSize(1400, 820);
} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , TimerModbusDataUpdate(makeTimer("TimerModbusDataUpdate", kDefaultXmtTimeoutMs))
    , TimerForModbusDevices(makeTimer("TimerForModbusDevices", kDefaultXmtTimeoutMs))
    , TimerForJump2DevicesModbus(makeTimer("TimerForJump2DevicesModbus", kJump2DevicesMs))
    , TimerVeltoProtocol(makeTimer("TimerVeltoProtocol", kVeltoTickMs))
    , Timer_Rx(makeTimer("Timer_Rx", kRadarRxMs))
    , TimerSingleMultiRegisters(makeTimer("TimerSingleMultiRegisters", 1000))
    , SetTankHeight1000TimesTimer(makeTimer("SetTankHeight1000TimesTimer", kTankHeightTestMs))
    , m_ui(std::make_unique<Ui::ProtocolChoose>())
{
    m_ui->setupUi(this);
    // Room for the widest mode's panels, within the screen the window opens on.
    QSize size = kPreferredSize;
    if (const QScreen* s = screen())
        size = size.boundedTo(s->availableSize());
    resize(size);
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
             TimerSingleMultiRegisters, TimerForModbusDevices, Timer_Rx })
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
