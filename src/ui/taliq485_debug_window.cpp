#include "ui/taliq485_debug_window.h"

#include "common/file_suffix.h"
#include "common/prompter.h"
#include "debugterm/debug_terminal.h"
#include "ui/text_tail.h"
#include "ui_taliq485_debug_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace velto::ui {

namespace {
// Far above the fifty lines the terminal keeps; only a guard for the text view itself.
constexpr int kMaxScreenBlocks = 1000;
// Room for a debug record line and a screenful of them; the screen fitting bounds it.
constexpr QSize kPreferredSize(820, 560);
} // namespace

Taliq485DebugWindow::Taliq485DebugWindow(serial::ByteLink& Taliq485MSComm, Prompter& prompter,
    const Clock& clock, PortChoice port, LineRelease release, QWidget* parent)
    : QMainWindow(parent)
    , m_prompter(prompter)
    , m_port(std::move(port))
    , m_release(std::move(release))
    , m_ui(std::make_unique<Ui::FormTaliq485Debug>())
    , m_terminal(std::make_unique<debugterm::DebugTerminal>(Taliq485MSComm, clock))
    , m_status(new QLabel(this))
{
    m_ui->setupUi(this);
    m_ui->DebugWindowText->setMaximumBlockCount(kMaxScreenBlocks);
    m_ui->DebugWindowText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_status->setObjectName(QStringLiteral("DebugStatusText"));
    m_ui->DebugStatusBar->addWidget(m_status, 1);
    resize(kPreferredSize);
    wireMenus();
    Form_Load();
}

Taliq485DebugWindow::~Taliq485DebugWindow()
{
    // The terminal goes first: it still reads the link while closing it.
    m_terminal.reset();
}

void Taliq485DebugWindow::wireMenus()
{
    Ui::FormTaliq485Debug& f = *m_ui;
    const std::pair<QAction*, void (Taliq485DebugWindow::*)()> handlers[] = {
        { f.mnuOpen, &Taliq485DebugWindow::mnuOpen_Click },
        { f.mnuClose, &Taliq485DebugWindow::mnuClose_Click },
        { f.mnuExit, &Taliq485DebugWindow::mnuExit_Click },
        { f.mnuStart, &Taliq485DebugWindow::mnuStart_Click },
        { f.mnuStop, &Taliq485DebugWindow::mnuStop_Click },
        { f.mnuClearScreen, &Taliq485DebugWindow::mnuClearScreen_Click },
        { f.mnuClearBuffer, &Taliq485DebugWindow::mnuClearBuffer_Click },
        { f.mnuFont, &Taliq485DebugWindow::mnuFont_Click },
        { f.mnuColor, &Taliq485DebugWindow::mnuColor_Click },
    };
    for (const auto& [action, handler] : handlers)
        connect(action, &QAction::triggered, this, handler);

    debugterm::DebugTerminal* t = m_terminal.get();
    connect(t, &debugterm::DebugTerminal::screenUpdate, this, &Taliq485DebugWindow::showScreenUpdate);
    connect(t, &debugterm::DebugTerminal::runningChanged, this, &Taliq485DebugWindow::showRunning);
    connect(t, &debugterm::DebugTerminal::capturingChanged, this, &Taliq485DebugWindow::showCapturing);
    connect(t, &debugterm::DebugTerminal::captureFailed, this,
        [this](const QString& text) { m_prompter.message(text, QString(), Prompter::Icon::Warning); });
    connect(t, &debugterm::DebugTerminal::lineLost, this, [this](const QString& text) {
        m_prompter.message(tr("Listening stopped: %1").arg(text), QString(), Prompter::Icon::Warning);
    });
}

void Taliq485DebugWindow::Form_Load()
{
    m_unloaded = false;
    m_terminal->load();
    m_ui->DebugWindowText->clear();
    showRunning(false);
    showCapturing(false);
}

void Taliq485DebugWindow::mnuOpen_Click()
{
    const QString filter = QString::fromLatin1(kCaptureFilter);
    const QString path = withFilterSuffix(m_prompter.saveFileName(tr("Save As"), filter), filter);
    if (path.isEmpty())
        return;
    if (!m_terminal->openCapture(path))
        m_prompter.message(m_terminal->errorText(), QString(), Prompter::Icon::Warning);
}

void Taliq485DebugWindow::mnuClose_Click()
{
    m_terminal->closeCapture();
}

void Taliq485DebugWindow::mnuExit_Click()
{
    close();
}

void Taliq485DebugWindow::mnuStart_Click()
{
    const DebugPort port = m_port ? m_port() : DebugPort {};
    if (!port.location.isEmpty() && m_release)
        m_release(port.location);
    if (!m_terminal->start(port.location, port.settings)) {
        m_prompter.message(port.location.isEmpty()
                ? m_terminal->errorText()
                : tr("The port %1 could not be opened: %2")
                      .arg(QDir::toNativeSeparators(port.location), m_terminal->errorText()),
            QString(), Prompter::Icon::Warning);
        return;
    }
    m_listeningOn = tr("Listening on %1 (%2)").arg(QDir::toNativeSeparators(port.location), port.settings);
    showStatus();
}

void Taliq485DebugWindow::mnuStop_Click()
{
    m_terminal->stop();
}

void Taliq485DebugWindow::mnuClearScreen_Click()
{
    m_terminal->clearScreen();
}

void Taliq485DebugWindow::mnuClearBuffer_Click()
{
    m_terminal->clearBuffer();
}

void Taliq485DebugWindow::mnuFont_Click()
{
    QFont preset(QString::fromLatin1(kPresetFont));
    preset.setPointSizeF(m_ui->DebugWindowText->font().pointSizeF());
    const std::optional<QFont> chosen = m_prompter.chooseFont(preset);
    if (!chosen)
        return;
    QFont font = m_ui->DebugWindowText->font();
    font.setFamily(chosen->family());
    if (chosen->pointSizeF() > 0)
        font.setPointSizeF(chosen->pointSizeF());
    font.setBold(chosen->bold());
    font.setItalic(chosen->italic());
    m_ui->DebugWindowText->setFont(font);
}

void Taliq485DebugWindow::mnuColor_Click()
{
    QPalette palette = m_ui->DebugWindowText->palette();
    const std::optional<QColor> chosen = m_prompter.chooseColor(palette.color(QPalette::Text));
    if (!chosen || !chosen->isValid())
        return;
    palette.setColor(QPalette::Text, *chosen);
    m_ui->DebugWindowText->setPalette(palette);
}

void Taliq485DebugWindow::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void Taliq485DebugWindow::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_terminal->closeCapture();
    m_terminal->stop();
    emit exited();
}

void Taliq485DebugWindow::showScreenUpdate(bool clearFirst, const QString& text)
{
    // Follow the stream unless the user has scrolled up to read something.
    appendAtTail(*m_ui->DebugWindowText, clearFirst, text, TailFollow::UnlessScrolledUp);
}

void Taliq485DebugWindow::showRunning(bool running)
{
    m_ui->mnuStart->setEnabled(!running);
    m_ui->mnuStop->setEnabled(running);
    if (!running)
        m_listeningOn.clear();
    showStatus();
}

void Taliq485DebugWindow::showCapturing(bool capturing)
{
    m_ui->mnuOpen->setEnabled(!capturing);
    m_ui->mnuClose->setEnabled(capturing);
    showStatus();
}

void Taliq485DebugWindow::showStatus()
{
    QString text = m_listeningOn.isEmpty() ? tr("Stopped") : m_listeningOn;
    if (m_terminal->isCapturing())
        text += tr("  |  Capturing to %1").arg(QDir::toNativeSeparators(m_terminal->capturePath()));
    m_status->setText(text);
}

} // namespace velto::ui
