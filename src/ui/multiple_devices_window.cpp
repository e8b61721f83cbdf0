#include "ui/multiple_devices_window.h"

#include "ui/timeout_box.h"

#include "common/colors.h"
#include "common/prompter.h"
#include "modbus/debounced_text_check.h"
#include "modbus/modbus_master.h"
#include "modbus/multi_device_poller.h"
#include "modbus/timeout_rule.h"
#include "regtest/range_check.h"
#include "ui/main_window.h"
#include "ui/screen_fit.h"
#include "ui/tool_window_exit.h"
#include "ui_multiple_devices_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QSignalBlocker>

namespace velto::ui {

MultipleDevicesWindow::MultipleDevicesWindow(MainWindow& main, modbus::ModbusMaster& master,
    Prompter& prompter, std::function<bool()> openModbusPort, std::function<bool()> isConnected,
    QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_main(main)
    , m_master(master)
    , m_prompter(prompter)
    , m_openModbusPort(std::move(openModbusPort))
    , m_isConnected(std::move(isConnected))
    , m_ui(std::make_unique<Ui::FormMultipleDevicesModbus>())
    , m_poller(new modbus::MultiDevicePoller(master, this))
    , m_xmt(new modbus::DebouncedTextCheck(this))
    , m_rcv(new modbus::DebouncedTextCheck(this))
{
    m_ui->setupUi(this);
    compactLayouts(this);
    fitToScreenOnShow(this);
    for (auto& check : m_ids)
        check = new modbus::DebouncedTextCheck(this);
    wireInputs();
    wirePoller();
}

MultipleDevicesWindow::~MultipleDevicesWindow() = default;

QLineEdit* MultipleDevicesWindow::idBox(int device) const
{
    return findChild<QLineEdit*>(QString::fromLatin1(modbus::kDeviceAddressBoxes[size_t(device - 1)]));
}

void MultipleDevicesWindow::wireInputs()
{
    for (int device = 1; device <= kMaxDevices; ++device) {
        connect(idBox(device), &QLineEdit::textChanged, this,
            [this, device](const QString& text) { IDText_Changed(device, text); });
        connect(m_ids[size_t(device - 1)], &modbus::DebouncedTextCheck::settled, this,
            [this, device](const QString& text) { IDText_Settled(device, text); });
    }
    connect(m_ui->XmtTimeoutText, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_loaded)
            m_xmt->textChanged(text);
    });
    connect(m_ui->RcvTimeoutText, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_loaded)
            m_rcv->textChanged(text);
    });
    connect(
        m_xmt, &modbus::DebouncedTextCheck::settled, this, &MultipleDevicesWindow::XmtTimeoutText_Settled);
    connect(
        m_rcv, &modbus::DebouncedTextCheck::settled, this, &MultipleDevicesWindow::RcvTimeoutText_Settled);
    connect(
        m_ui->ResetCountersCommand, &QPushButton::clicked, this, &MultipleDevicesWindow::ResetCounters_Click);
    connect(m_ui->ExitCommand, &QPushButton::clicked, this, &MultipleDevicesWindow::Exit_Click);
}

void MultipleDevicesWindow::wirePoller()
{
    Ui::FormMultipleDevicesModbus& f = *m_ui;
    connect(m_main.TimerForModbusDevices, &QTimer::timeout, m_poller, &modbus::MultiDevicePoller::tick);
    connect(m_poller, &modbus::MultiDevicePoller::currentSlaveIdChanged, this,
        &MultipleDevicesWindow::currentSlaveIdChanged);
    connect(m_poller, &modbus::MultiDevicePoller::countersChanged, this,
        [this, &f](int polls, int valid, int timeouts) {
            f.NumberOfPollsText->setText(QString::number(polls));
            f.ValidSlaveResponsesText->setText(QString::number(valid));
            f.NumOfTimeoutText->setText(QString::number(timeouts));
        });
    // A lost line ends the poll here; the box shows the loss (below) until the window is opened again.
    connect(&m_master, &modbus::ModbusMaster::lineLost, this, [this] {
        m_polling = false;
        m_main.TimerForModbusDevices->stop();
    });
    // The poll decides the text: a device that keeps failing stays visible while others answer.
    connect(m_poller, &modbus::MultiDevicePoller::errorTextChanged, f.ModbusErrorMessageText,
        &QLineEdit::setText);
    connect(m_poller, &modbus::MultiDevicePoller::deviceValuesChanged, this,
        [this](int device, const QStringList& values) {
            const QStringList names = modbus::MultiDevicePoller::valueBoxNames(device);
            for (int i = 0; i < names.size() && i < values.size(); ++i)
                if (auto* box = findChild<QLineEdit*>(names.at(i)))
                    box->setText(values.at(i));
        });
}

void MultipleDevicesWindow::open(int devices)
{
    m_poller->setNumberOfDevices(devices);
    for (int device = 1; device <= kMaxDevices; ++device)
        if (auto* frame = findChild<QWidget*>(QStringLiteral("FrameDeviceNo%1").arg(device)))
            frame->setVisible(device <= m_poller->NumberOfDevices());
    Form_Load();
}

void MultipleDevicesWindow::Form_Load()
{
    Ui::FormMultipleDevicesModbus& f = *m_ui;
    m_loaded = false;
    m_polling = false;
    m_exiting = false;
    cancelEdits();

    f.XmtTimeoutText->setText(QString::number(modbus::kDefaultTransmitTimeoutMs));
    f.RcvTimeoutText->setText(QString::number(modbus::kDefaultReceiveTimeoutMs));
    QStringList addresses;
    for (int device = 1; device <= kMaxDevices; ++device) {
        addresses << QString::number(device);
        putBack(idBox(device), addresses.last());
        for (const QString& name : modbus::MultiDevicePoller::valueBoxNames(device))
            if (auto* box = findChild<QLineEdit*>(name))
                box->clear();
    }
    m_poller->setAddressTexts(addresses);
    // The boxes start at zero, so the counters behind them do too.
    m_poller->resetCounters();
    MainWindow::setStyledText(f.ModbusErrorMessageText, QString(), true, kRed);
    m_master.setTxTimeout(modbus::kDefaultTransmitTimeoutMs);
    m_master.setRxTimeout(modbus::kDefaultReceiveTimeoutMs);
    m_main.TimerForModbusDevices->setInterval(modbus::kDefaultTransmitTimeoutMs);
    m_main.hide();

    if (m_isConnected() && m_openModbusPort()) {
        m_main.TimerModbusDataUpdate->stop();
        m_main.TimerForModbusDevices->start();
        m_polling = true;
    }
    // Loaded either way: the address and time-out boxes settle before they are checked.
    m_loaded = true;
}

void MultipleDevicesWindow::IDText_Changed(int device, const QString& text)
{
    if (!m_loaded)
        return;
    if (m_polling)
        m_main.TimerForModbusDevices->stop();
    m_ids[size_t(device - 1)]->textChanged(text);
}

void MultipleDevicesWindow::IDText_Settled(int device, const QString& text)
{
    const auto decision = checkRangeText(text, regtest::deviceIdRule(device), m_prompter);
    if (decision.replacementText)
        putBack(idBox(device), *decision.replacementText);
    m_poller->setAddressText(device, QString::number(decision.value));
    if (!m_polling)
        return;
    for (const auto* check : m_ids)
        if (check->pending())
            return;
    m_main.TimerForModbusDevices->start();
}

void MultipleDevicesWindow::XmtTimeoutText_Settled(const QString& text)
{
    applyTimeoutBox(
        TimeoutBox::Transmit, m_ui->XmtTimeoutText, text, m_master, m_prompter, m_main.TimerForModbusDevices);
}

void MultipleDevicesWindow::RcvTimeoutText_Settled(const QString& text)
{
    applyTimeoutBox(TimeoutBox::Receive, m_ui->RcvTimeoutText, text, m_master, m_prompter);
}

void MultipleDevicesWindow::ResetCounters_Click()
{
    m_poller->resetCounters();
}

void MultipleDevicesWindow::cancelEdits()
{
    for (auto* check : m_ids)
        check->cancel();
    m_xmt->cancel();
    m_rcv->cancel();
}

void MultipleDevicesWindow::Exit_Click()
{
    m_exiting = true;
    m_loaded = false;
    m_polling = false;
    cancelEdits();
    m_main.TimerForModbusDevices->stop();
    emit currentSlaveIdChanged(restoreMainWindowAfterRegisterTool(m_main, m_master, m_prompter));
    for (const char* menu : { "mnuDevice", "mnuOption" })
        if (QAction* entry = m_main.entry(QString::fromLatin1(menu)))
            entry->setEnabled(true);
    hide();
    emit exited();
}

void MultipleDevicesWindow::closeEvent(QCloseEvent* event)
{
    // Closing by the frame leaves the same way as Exit, so the main window and its menus come back.
    if (!m_exiting)
        Exit_Click();
    event->accept();
}

} // namespace velto::ui
