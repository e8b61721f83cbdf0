#include "ui/flash_burning_window.h"

#include "common/prompter.h"
#include "flash/flash_burner.h"
#include "flash/flash_texts.h"
#include "ui/screen_fit.h"
#include "ui_flash_burning_window.h"

#include <QCloseEvent>
#include <QScrollBar>
#include <QTextCursor>

namespace velto::ui {

namespace {
const QString kHexFileFilter = QStringLiteral("HEX Files (*.hex)");
const QString kOpenDialogTitle = QStringLiteral("Open HEX File");
const QString kConfirmText = QStringLiteral("Do you want to delete Flash memory ?");
const QString kConfirmTitle = QStringLiteral("MsgBox Delete Flash");
const QString kYes = QStringLiteral("yes");
const QString kNo = QStringLiteral("no");
} // namespace

FlashBurningWindow::FlashBurningWindow(serial::ByteLink& link, Prompter& prompter, bool connected,
    QString converterProgram, const flash::FlashTimings& timings, QWidget* parent)
    : QWidget(parent, Qt::Window)
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
    // Showing and hiding the bar must not move the transcript.
    QSizePolicy barPolicy = m_ui->SendHexFileProgressBar->sizePolicy();
    barPolicy.setRetainSizeWhenHidden(true);
    m_ui->SendHexFileProgressBar->setSizePolicy(barPolicy);
    m_transcriptTimer.setSingleShot(true);
    m_transcriptTimer.setInterval(kTranscriptBatchMs);
    connect(&m_transcriptTimer, &QTimer::timeout, this, &FlashBurningWindow::flushTranscript);

    Ui::FormFlashburning& f = *m_ui;
    connect(f.BrowseCommand, &QPushButton::clicked, this, &FlashBurningWindow::BrowseCommand_Click);
    connect(f.SendHEXFileCommand, &QPushButton::clicked, this, &FlashBurningWindow::SendHEXFileCommand_Click);
    connect(f.FlashEraseCommand, &QPushButton::clicked, this, &FlashBurningWindow::FlashEraseCommand_Click);
    connect(f.FlashTestCommand, &QPushButton::clicked, this, &FlashBurningWindow::FlashTestCommand_Click);
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
    connect(b, &flash::FlashBurner::finished, this, &FlashBurningWindow::flushTranscript);
}

void FlashBurningWindow::Form_Load()
{
    Ui::FormFlashburning& f = *m_ui;
    SetFlashButtonsEnabled(true);
    f.FlashBurningStatusText->setText(flash::kWaitForSendingText);
    f.HEXFileNameText->clear();
    f.SendHexFileProgressBar->hide();
    f.BrowseCommand->setEnabled(true);
    m_hexOrderPending = false;
    if (!m_connected) {
        f.BrowseCommand->setEnabled(false);
        f.SendHEXFileCommand->setEnabled(false);
    }
}

void FlashBurningWindow::SetFlashButtonsEnabled(bool enabled)
{
    Ui::FormFlashburning& f = *m_ui;
    f.FlashTestCommand->setEnabled(enabled);
    f.FlashEraseCommand->setEnabled(enabled);
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
    SetFlashButtonsEnabled(true);
}

void FlashBurningWindow::SendHEXFileCommand_Click()
{
    if (!m_connected || m_burner->isBusy() || m_hexFilePath.isEmpty())
        return;
    clearTranscript();
    flash::BurnRequest request;
    request.hexPath = m_hexFilePath;
    request.erase = m_ui->EraseCheckBox->isChecked();
    request.runConverter = m_hexOrderPending;
    request.converterProgram = m_converterProgram;
    // Once per file choice: a second burn of the same file skips the converter.
    m_hexOrderPending = false;
    m_burner->burn(request);
}

void FlashBurningWindow::FlashEraseCommand_Click()
{
    if (m_burner->isBusy())
        return;
    clearTranscript();
    SetFlashButtonsEnabled(false);
    ConfirmFlashCommand(flash::kEraseCommand);
}

void FlashBurningWindow::FlashTestCommand_Click()
{
    if (m_burner->isBusy())
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

void FlashBurningWindow::onBusyChanged(bool busy)
{
    Ui::FormFlashburning& f = *m_ui;
    SetFlashButtonsEnabled(!busy);
    f.EraseCheckBox->setEnabled(!busy);
    f.BrowseCommand->setEnabled(!busy && m_connected);
    if (!m_connected)
        f.SendHEXFileCommand->setEnabled(false);
}

void FlashBurningWindow::appendTranscript(const QString& entry)
{
    m_pendingTranscript += entry;
    m_pendingTranscript += QLatin1Char('\n');
    if (!m_transcriptTimer.isActive())
        m_transcriptTimer.start();
}

void FlashBurningWindow::flushTranscript()
{
    m_transcriptTimer.stop();
    if (m_pendingTranscript.isEmpty())
        return;
    QPlainTextEdit* view = m_ui->DebugText;
    QTextCursor end(view->document());
    end.movePosition(QTextCursor::End);
    end.insertText(m_pendingTranscript);
    m_pendingTranscript.clear();
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
}

void FlashBurningWindow::clearTranscript()
{
    m_transcriptTimer.stop();
    m_pendingTranscript.clear();
    m_ui->DebugText->clear();
}

void FlashBurningWindow::closeEvent(QCloseEvent* event)
{
    // Nothing more goes to the device once the window is gone; the port stays open.
    m_burner->stop();
    emit unloaded();
    event->accept();
}

} // namespace velto::ui
