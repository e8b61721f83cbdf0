#include "ui/flash_burning_window.h"

#include "common/prompter.h"
#include "flash/flash_burner.h"
#include "flash/flash_texts.h"
#include "flash/hex_order_runner.h"
#include "serial/byte_link.h"
#include "ui/screen_fit.h"
#include "ui/text_tail.h"
#include "ui_flash_burning_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>

namespace velto::ui {

namespace {
const QString kHexFileFilter = QStringLiteral("HEX Files (*.hex)");
const QString kOpenDialogTitle = QStringLiteral("Open HEX File");
const QString kConfirmText = QStringLiteral("Do you want to delete Flash memory ?");
const QString kConfirmTitle = QStringLiteral("MsgBox Delete Flash");
const QString kYes = QStringLiteral("yes");
const QString kNo = QStringLiteral("no");
const QString kAbortTitle = QStringLiteral("Abort Flash Burning");
const QString kAbortedTitle = QStringLiteral("Flash Burning Aborted");
const QString kConverterMissingText
    = QStringLiteral("HexOrder is missing: the file can only be burnt as it is, unconverted.");
} // namespace

FlashBurningWindow::FlashBurningWindow(serial::ByteLink& link, Prompter& prompter, bool connected,
    QString converterProgram, const flash::FlashTimings& timings, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_link(link)
    , m_prompter(prompter)
    , m_ui(std::make_unique<Ui::FormFlashburning>())
    , m_burner(new flash::FlashBurner(link, timings, this))
    , m_connected(connected)
    , m_converterProgram(std::move(converterProgram))
{
    m_ui->setupUi(this);
    compactLayouts(this);
    fitToScreenOnShow(this);
    m_ui->DebugText->setMaximumBlockCount(kTranscriptMaxLines);
    // Showing and hiding the bar and the converter's note must not move the rest.
    for (QWidget* w :
        std::initializer_list<QWidget*> { m_ui->SendHexFileProgressBar, m_ui->HexOrderMissingLabel }) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    m_ui->HexOrderMissingLabel->setText(kConverterMissingText);
    m_ui->HexOrderMissingLabel->hide();
    connect(&m_transcript, &BatchedAppender::batchReady, this, [this](bool clearFirst, const QString& text) {
        appendAtTail(*m_ui->DebugText, clearFirst, text, TailFollow::Always);
    });

    Ui::FormFlashburning& f = *m_ui;
    connect(f.BrowseCommand, &QPushButton::clicked, this, &FlashBurningWindow::BrowseCommand_Click);
    connect(f.SendHEXFileCommand, &QPushButton::clicked, this, &FlashBurningWindow::SendHEXFileCommand_Click);
    connect(f.FlashEraseCommand, &QPushButton::clicked, this, &FlashBurningWindow::FlashEraseCommand_Click);
    connect(f.FlashTestCommand, &QPushButton::clicked, this, &FlashBurningWindow::FlashTestCommand_Click);
    connect(f.StopCommand, &QPushButton::clicked, this, &FlashBurningWindow::StopCommand_Click);
    // A port that is not open cannot erase or test anything.
    connect(
        &m_link, &serial::ByteLink::closed, this, [this] { SetFlashButtonsEnabled(!m_burner->isBusy()); });
    wireBurner();
    Form_Load();
}

FlashBurningWindow::~FlashBurningWindow() = default;

void FlashBurningWindow::wireBurner()
{
    Ui::FormFlashburning& f = *m_ui;
    flash::FlashBurner* b = m_burner;
    connect(b, &flash::FlashBurner::statusChanged, f.FlashBurningStatusText, &QLineEdit::setText);
    connect(b, &flash::FlashBurner::transcriptEntry, this, &FlashBurningWindow::appendTranscript);
    connect(b, &flash::FlashBurner::progressRangeChanged, f.SendHexFileProgressBar, &QProgressBar::setRange);
    connect(b, &flash::FlashBurner::progressChanged, f.SendHexFileProgressBar, &QProgressBar::setValue);
    connect(b, &flash::FlashBurner::progressVisibleChanged, f.SendHexFileProgressBar, &QWidget::setVisible);
    connect(b, &flash::FlashBurner::busyChanged, this, &FlashBurningWindow::onBusyChanged);
    // The converter may show a window of its own; this one steps aside until it ends.
    connect(b, &flash::FlashBurner::converterRunning, this, [this](bool running) { setVisible(!running); });
    connect(b, &flash::FlashBurner::messageBox, this,
        [this](const QString& text, const QString& title, Prompter::Icon icon) {
            m_prompter.message(text, title, icon);
        });
    connect(b, &flash::FlashBurner::finished, this, &FlashBurningWindow::onFinished);
}

void FlashBurningWindow::Form_Load()
{
    Ui::FormFlashburning& f = *m_ui;
    SetFlashButtonsEnabled(true);
    f.FlashBurningStatusText->setText(flash::kWaitForSendingText);
    f.HEXFileNameText->clear();
    f.SendHexFileProgressBar->hide();
    f.BrowseCommand->setEnabled(true);
    f.StopCommand->setEnabled(false);
    m_hexOrderPending = false;
    if (!m_connected) {
        f.BrowseCommand->setEnabled(false);
        f.SendHEXFileCommand->setEnabled(false);
    }
}

void FlashBurningWindow::SetFlashButtonsEnabled(bool enabled)
{
    Ui::FormFlashburning& f = *m_ui;
    f.FlashTestCommand->setEnabled(enabled && m_link.isOpen());
    f.FlashEraseCommand->setEnabled(enabled && m_link.isOpen());
    f.SendHEXFileCommand->setEnabled(enabled && !f.HEXFileNameText->text().isEmpty());
}

void FlashBurningWindow::BrowseCommand_Click()
{
    if (!m_connected || m_burner->isBusy())
        return;
    const QString name = m_prompter.openFileName(kOpenDialogTitle, kHexFileFilter, kHexFileFilter);
    if (name.isEmpty())
        return;
    m_hexFilePath = name;
    m_hexOrderPending = true;
    m_ui->HEXFileNameText->setText(name);
    showConverterState();
    SetFlashButtonsEnabled(true);
}

void FlashBurningWindow::showConverterState()
{
    const QString reason = flash::HexOrderRunner::unavailableReason(m_converterProgram);
    QLabel* note = m_ui->HexOrderMissingLabel;
    note->setToolTip(reason.isEmpty()
            ? QString()
            : QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(m_converterProgram), reason));
    note->setVisible(m_hexOrderPending && !reason.isEmpty());
}

bool FlashBurningWindow::confirmBurningUnconverted()
{
    const QString reason = flash::HexOrderRunner::unavailableReason(m_converterProgram);
    showConverterState();
    if (reason.isEmpty())
        return true;
    const QString text = QStringLiteral("%1%2\n%3\n\nBurn %4 as it is, without the HEX converter?")
                             .arg(flash::kErrorStartingTaskText, QDir::toNativeSeparators(m_converterProgram),
                                 reason, QDir::toNativeSeparators(m_hexFilePath));
    return m_prompter.askYesNoDefaultNo(text, flash::kErrorTitle, Prompter::Icon::Warning);
}

void FlashBurningWindow::SendHEXFileCommand_Click()
{
    if (!m_connected || m_burner->isBusy() || m_hexFilePath.isEmpty())
        return;
    flash::BurnRequest request;
    request.hexPath = m_hexFilePath;
    request.erase = m_ui->EraseCheckBox->isChecked();
    request.runConverter = m_hexOrderPending;
    request.converterProgram = m_converterProgram;
    if (request.runConverter && !flash::HexOrderRunner::unavailableReason(m_converterProgram).isEmpty()) {
        if (!confirmBurningUnconverted())
            return;
        // The file stays unconverted: the next burn asks again, unless the converter has come.
        request.runConverter = false;
    } else {
        // Once per file choice: a second burn of the same file skips the converter.
        m_hexOrderPending = false;
        showConverterState();
    }
    clearTranscript();
    m_burner->burn(request);
}

void FlashBurningWindow::FlashEraseCommand_Click()
{
    if (m_burner->isBusy() || !m_link.isOpen())
        return;
    clearTranscript();
    SetFlashButtonsEnabled(false);
    ConfirmFlashCommand(flash::kEraseCommand);
}

void FlashBurningWindow::FlashTestCommand_Click()
{
    if (m_burner->isBusy() || !m_link.isOpen())
        return;
    clearTranscript();
    SetFlashButtonsEnabled(false);
    if (ConfirmFlashCommand(flash::kTestCommand) != kYes)
        m_ui->FlashBurningStatusText->setText(flash::kWaitForSendingText);
}

QString FlashBurningWindow::ConfirmFlashCommand(const QByteArray& command)
{
    if (!m_prompter.askYesNoDefaultNo(kConfirmText, kConfirmTitle, Prompter::Icon::Critical)) {
        m_ui->FlashBurningStatusText->setText(flash::kWaitForSendingText);
        SetFlashButtonsEnabled(true);
        return kNo;
    }
    if (command == flash::kEraseCommand)
        m_burner->eraseFlash();
    else
        m_burner->testFlash();
    return kYes;
}

void FlashBurningWindow::StopCommand_Click()
{
    m_burner->stop();
}

void FlashBurningWindow::onBusyChanged(bool busy)
{
    Ui::FormFlashburning& f = *m_ui;
    SetFlashButtonsEnabled(!busy);
    f.EraseCheckBox->setEnabled(!busy);
    f.BrowseCommand->setEnabled(!busy && m_connected);
    f.StopCommand->setEnabled(busy);
    if (!m_connected)
        f.SendHEXFileCommand->setEnabled(false);
}

void FlashBurningWindow::onFinished(const flash::FlashResult& result)
{
    // A converter that failed has not converted the file: the next burn runs it again.
    if (result.converterFailed) {
        m_hexOrderPending = true;
        showConverterState();
    }
    flushTranscript();
}

void FlashBurningWindow::appendTranscript(const QString& entry)
{
    m_transcript.append(entry + QLatin1Char('\n'));
}

void FlashBurningWindow::flushTranscript()
{
    m_transcript.flush();
}

void FlashBurningWindow::clearTranscript()
{
    m_transcript.discard();
    m_ui->DebugText->clear();
}

void FlashBurningWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The port may have been opened or lost while the window was away.
    if (!m_burner->isBusy())
        SetFlashButtonsEnabled(true);
}

void FlashBurningWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape closes, as it would a dialog; closing asks first while something runs.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FlashBurningWindow::closeEvent(QCloseEvent* event)
{
    QString abortedText;
    if (m_burner->isBusy()) {
        // Hidden while the converter runs: nobody to ask, and nothing has reached the device yet.
        if (isVisible()) {
            const QString question = QStringLiteral("%1\nAbort it? The sensor's flash will be incomplete.")
                                         .arg(m_burner->runningText());
            if (!m_prompter.askYesNoDefaultNo(question, kAbortTitle, Prompter::Icon::Warning)) {
                event->ignore();
                return;
            }
        }
        // It may have ended while the question was up.
        if (m_burner->isBusy()) {
            m_burner->stop();
            abortedText = m_burner->result().stopText;
        }
    }
    emit unloaded();
    event->accept();
    // Said once the window is gone, so it is not lost with it.
    if (!abortedText.isEmpty())
        m_prompter.message(abortedText, kAbortedTitle, Prompter::Icon::Warning);
}

} // namespace velto::ui
