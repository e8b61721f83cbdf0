#include "ui/registers_test_window.h"

#include "ui/timeout_box.h"

#include "common/colors.h"
#include "common/prompter.h"
#include "modbus/debounced_text_check.h"
#include "modbus/modbus_master.h"
#include "modbus/timeout_rule.h"
#include "regtest/range_check.h"
#include "regtest/register_block_poller.h"
#include "ui/main_window.h"
#include "ui/screen_fit.h"
#include "ui/tool_window_exit.h"
#include "ui_registers_test_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QSignalBlocker>

namespace velto::ui {

namespace {

constexpr int kRowsPerColumn = 10;
constexpr int kValueBoxWidth = 70;

} // namespace

RegistersTestWindow::RegistersTestWindow(MainWindow& main, modbus::ModbusMaster& master, Prompter& prompter,
    std::function<bool()> openModbusPort, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_main(main)
    , m_master(master)
    , m_prompter(prompter)
    , m_ui(std::make_unique<Ui::FormSingleMultiRegisters>())
    , m_poller(new regtest::RegisterBlockPoller(
          master, *main.TimerSingleMultiRegisters, std::move(openModbusPort), this))
    , m_length(new modbus::DebouncedTextCheck(this))
    , m_start(new modbus::DebouncedTextCheck(this))
    , m_address(new modbus::DebouncedTextCheck(this))
    , m_xmt(new modbus::DebouncedTextCheck(this))
    , m_rcv(new modbus::DebouncedTextCheck(this))
{
    m_ui->setupUi(this);
    buildRegisterBoxes();
    compactLayouts(this);
    fitToScreenOnShow(this);
    wireInputs();
    wirePoller();
    Form_Load();
}

RegistersTestWindow::~RegistersTestWindow() = default;

QLineEdit* RegistersTestWindow::RegValText(int index) const
{
    return index >= 0 && index < m_values.size() ? m_values.at(index) : nullptr;
}

QLabel* RegistersTestWindow::MBAddLabel(int index) const
{
    return index >= 0 && index < m_labels.size() ? m_labels.at(index) : nullptr;
}

void RegistersTestWindow::buildRegisterBoxes()
{
    // Fifty numbered pairs are made here rather than in the form: they are one control array.
    auto* grid = m_ui->RegistersLayout;
    for (int i = 0; i < regtest::kMaxBlockLength; ++i) {
        auto* label = new QLabel(m_ui->RegistersFrame);
        label->setObjectName(QStringLiteral("MBAddLabel(%1)").arg(i));
        auto* value = new QLineEdit(m_ui->RegistersFrame);
        value->setObjectName(QStringLiteral("RegValText(%1)").arg(i));
        value->setReadOnly(true);
        value->setMaximumWidth(kValueBoxWidth);
        const int row = i % kRowsPerColumn;
        const int column = 2 * (i / kRowsPerColumn);
        grid->addWidget(label, row, column);
        grid->addWidget(value, row, column + 1);
        m_labels << label;
        m_values << value;
    }
}

void RegistersTestWindow::wireInputs()
{
    Ui::FormSingleMultiRegisters& f = *m_ui;
    // Editing the block or the device pauses the requests until the box settles.
    for (auto [box, check] : { std::pair { f.LenghtText, m_length },
             std::pair { f.StartAddressText, m_start }, std::pair { f.DeviceAddressText, m_address } }) {
        connect(box, &QLineEdit::textChanged, this, [this, check](const QString& text) {
            if (!m_loaded)
                return;
            pauseForEdit();
            check->textChanged(text);
        });
    }
    for (auto [box, check] :
        { std::pair { f.XmtTimeoutText, m_xmt }, std::pair { f.RcvTimeoutText, m_rcv } }) {
        connect(box, &QLineEdit::textChanged, this, [this, check](const QString& text) {
            if (m_loaded)
                check->textChanged(text);
        });
    }
    connect(m_length, &modbus::DebouncedTextCheck::settled, this, &RegistersTestWindow::LenghtText_Settled);
    connect(
        m_start, &modbus::DebouncedTextCheck::settled, this, &RegistersTestWindow::StartAddressText_Settled);
    connect(m_address, &modbus::DebouncedTextCheck::settled, this,
        &RegistersTestWindow::DeviceAddressText_Settled);
    connect(m_xmt, &modbus::DebouncedTextCheck::settled, this, &RegistersTestWindow::XmtTimeoutText_Settled);
    connect(m_rcv, &modbus::DebouncedTextCheck::settled, this, &RegistersTestWindow::RcvTimeoutText_Settled);

    connect(f.SingleRequestCommand, &QPushButton::clicked, m_poller,
        &regtest::RegisterBlockPoller::singleRequest);
    connect(f.PeriodicalRequestCommand, &QPushButton::clicked, m_poller,
        &regtest::RegisterBlockPoller::periodicalRequest);
    connect(f.StopPeriodicalRequestCommand, &QPushButton::clicked, m_poller,
        &regtest::RegisterBlockPoller::stopPeriodicalRequest);
    connect(f.ResetCountersCommand, &QPushButton::clicked, m_poller,
        &regtest::RegisterBlockPoller::resetCounters);
    connect(f.ExitCommand, &QPushButton::clicked, this, &RegistersTestWindow::Exit_Click);
}

void RegistersTestWindow::wirePoller()
{
    Ui::FormSingleMultiRegisters& f = *m_ui;
    connect(m_poller, &regtest::RegisterBlockPoller::errorTextChanged, f.ModbusErrorMessageText,
        &QLineEdit::setText);
    connect(m_poller, &regtest::RegisterBlockPoller::countersChanged, this,
        [&f](int polls, int valid, int timeouts) {
            f.NumberOfPollsText->setText(QString::number(polls));
            f.ValidSlaveResponsesText->setText(QString::number(valid));
            f.NumOfTimeoutText->setText(QString::number(timeouts));
        });
    connect(m_poller, &regtest::RegisterBlockPoller::valuesChanged, this, [this](const QStringList& values) {
        for (int i = 0; i < values.size() && i < m_values.size(); ++i)
            m_values.at(i)->setText(values.at(i));
    });
}

void RegistersTestWindow::Form_Load()
{
    Ui::FormSingleMultiRegisters& f = *m_ui;
    m_loaded = false;
    m_exiting = false;
    cancelEdits();
    m_poller->halt();

    f.DeviceAddressText->setText(QString::number(regtest::kDefaultDeviceAddress));
    f.StartAddressText->setText(QString::number(regtest::kDefaultStartAddress));
    f.LenghtText->setText(QString::number(regtest::kDefaultLength));
    f.XmtTimeoutText->setText(QString::number(modbus::kDefaultTransmitTimeoutMs));
    f.RcvTimeoutText->setText(QString::number(modbus::kDefaultReceiveTimeoutMs));
    MainWindow::setStyledText(
        f.ModbusErrorMessageText, regtest::RegisterBlockPoller::kDeviceNotConnected, true, kRed);
    for (QLineEdit* value : std::as_const(m_values))
        value->clear();

    // The start values are valid: applied at once, without the settling wait that is for typing.
    m_poller->setCurrentSlaveId(regtest::kDefaultDeviceAddress);
    m_poller->setStartAddress(regtest::kDefaultStartAddress);
    m_poller->setLength(regtest::kDefaultLength);
    m_poller->resetCounters();
    m_master.setTxTimeout(modbus::kDefaultTransmitTimeoutMs);
    m_master.setRxTimeout(modbus::kDefaultReceiveTimeoutMs);
    m_main.TimerSingleMultiRegisters->setInterval(modbus::kDefaultTransmitTimeoutMs);
    emit currentSlaveIdChanged(regtest::kDefaultDeviceAddress);
    showBlock();
    m_loaded = true;
}

void RegistersTestWindow::pauseForEdit()
{
    m_poller->pause();
}

void RegistersTestWindow::resumeAfterEdit()
{
    // Another box still being typed into keeps the requests paused until it settles too.
    for (const auto* check : { m_length, m_start, m_address })
        if (check->pending())
            return;
    m_poller->resume();
}

void RegistersTestWindow::LenghtText_Settled(const QString& text)
{
    const auto decision = checkRangeText(text, regtest::lengthRule(), m_prompter);
    if (decision.replacementText)
        putBack(m_ui->LenghtText, *decision.replacementText);
    m_poller->setLength(decision.value);
    showBlock();
    resumeAfterEdit();
}

void RegistersTestWindow::StartAddressText_Settled(const QString& text)
{
    const auto decision = checkRangeText(text, regtest::startAddressRule(), m_prompter);
    if (decision.replacementText)
        putBack(m_ui->StartAddressText, *decision.replacementText);
    m_poller->setStartAddress(decision.value);
    showBlock();
    resumeAfterEdit();
}

void RegistersTestWindow::DeviceAddressText_Settled(const QString& text)
{
    const auto decision = checkRangeText(text, regtest::deviceAddressRule(), m_prompter);
    if (decision.replacementText)
        putBack(m_ui->DeviceAddressText, *decision.replacementText);
    m_poller->setCurrentSlaveId(decision.value);
    emit currentSlaveIdChanged(decision.value);
    resumeAfterEdit();
}

void RegistersTestWindow::XmtTimeoutText_Settled(const QString& text)
{
    applyTimeoutBox(TimeoutBox::Transmit, m_ui->XmtTimeoutText, text, m_master, m_prompter,
        m_main.TimerSingleMultiRegisters);
}

void RegistersTestWindow::RcvTimeoutText_Settled(const QString& text)
{
    applyTimeoutBox(TimeoutBox::Receive, m_ui->RcvTimeoutText, text, m_master, m_prompter);
}

void RegistersTestWindow::showBlock()
{
    const int start = m_poller->startAddress();
    const int length = m_poller->length();
    for (int i = 0; i < regtest::kMaxBlockLength; ++i) {
        const bool shown = i < length;
        m_labels.at(i)->setVisible(shown);
        m_values.at(i)->setVisible(shown);
        if (shown)
            m_labels.at(i)->setText(QString::number(regtest::holdingRegisterLabel(start, i)));
    }
}

void RegistersTestWindow::cancelEdits()
{
    for (auto* check : { m_length, m_start, m_address, m_xmt, m_rcv })
        check->cancel();
}

void RegistersTestWindow::Exit_Click()
{
    m_exiting = true;
    m_loaded = false;
    cancelEdits();
    m_poller->halt();
    m_main.TimerSingleMultiRegisters->stop();
    emit currentSlaveIdChanged(restoreMainWindowAfterRegisterTool(m_main, m_master, m_prompter));
    hide();
    emit exited();
}

void RegistersTestWindow::closeEvent(QCloseEvent* event)
{
    // Closing by the frame leaves the same way as Exit, so the main window comes back.
    if (!m_exiting)
        Exit_Click();
    event->accept();
}

} // namespace velto::ui
