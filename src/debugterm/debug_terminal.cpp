#include "debugterm/debug_terminal.h"

#include "serial/byte_link.h"

namespace velto::debugterm {

DebugTerminal::DebugTerminal(serial::ByteLink& link, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_clock(clock)
{
    m_screen.timer().setObjectName(QStringLiteral("DebugScreenTimer"));
    connect(&m_screen, &BatchedAppender::batchReady, this, &DebugTerminal::screenUpdate);
    connect(&m_link, &serial::ByteLink::readyRead, this, &DebugTerminal::onReadyRead);
    connect(&m_link, &serial::ByteLink::closed, this, &DebugTerminal::onLinkClosed);
    load();
}

DebugTerminal::~DebugTerminal()
{
    m_link.disconnect(this);
    if (m_running)
        m_link.close();
}

void DebugTerminal::load()
{
    stop();
    if (m_link.isOpen())
        m_link.close();
    closeCapture();
    m_startMs = m_clock.monotonicMs();
    const bool keepLines = m_stamper.keepsLines();
    m_stamper = LineStamper();
    m_stamper.setKeepLines(keepLines);
    m_screen.discard();
    m_bytesReceived = 0;
    m_linesReceived = 0;
}

bool DebugTerminal::start(const QString& port, const QString& settings)
{
    if (m_running)
        return true;
    if (port.isEmpty()) {
        m_errorText = tr("No serial port is chosen: pick one with Connection > Connect.");
        return false;
    }
    if (!m_link.open(port, settings)) {
        m_errorText = m_link.errorText().isEmpty() ? tr("The port %1 could not be opened.").arg(port)
                                                   : m_link.errorText();
        return false;
    }
    m_errorText.clear();
    m_running = true;
    emit runningChanged(true);
    return true;
}

void DebugTerminal::stop()
{
    if (!m_running)
        return;
    m_stopping = true;
    // Whatever arrived before Stop still belongs to the screen and the file.
    onReadyRead();
    m_link.close();
    // Bytes after the next Start do not continue the line cut here.
    m_capture.dropUnfinishedLine();
    m_stopping = false;
    if (m_running) {
        m_running = false;
        emit runningChanged(false);
    }
}

bool DebugTerminal::isRunning() const
{
    return m_running;
}

bool DebugTerminal::openCapture(const QString& path)
{
    if (!m_capture.open(path)) {
        m_errorText = m_capture.errorText();
        return false;
    }
    m_stamper.captureStarted();
    m_errorText.clear();
    emit capturingChanged(true);
    return true;
}

void DebugTerminal::closeCapture()
{
    if (!m_capture.isOpen())
        return;
    m_capture.close();
    emit capturingChanged(false);
}

void DebugTerminal::clearScreen()
{
    m_stamper.screenEmptied();
    m_screen.clear();
    m_screen.flush();
}

void DebugTerminal::clearBuffer()
{
    m_link.clearInput();
    clearScreen();
}

void DebugTerminal::flushScreen()
{
    m_screen.flush();
}

qint64 DebugTerminal::elapsedMs() const
{
    return m_clock.monotonicMs() - m_startMs;
}

void DebugTerminal::onReadyRead()
{
    const QByteArray bytes = m_link.readAll();
    if (bytes.isEmpty())
        return;
    m_bytesReceived += bytes.size();
    emit received(bytes);
    const StampedChunk chunk = m_stamper.feed(bytes, elapsedMs(), m_capture.isOpen());
    m_linesReceived += chunk.lines;
    if (m_capture.isOpen() && !m_capture.write(chunk.capture)) {
        // The screen keeps running; the user learns once why the file stopped growing.
        m_errorText = m_capture.errorText();
        emit capturingChanged(false);
        emit captureFailed(m_errorText);
    }
    if (chunk.screenCleared)
        m_screen.clear();
    m_screen.append(chunk.screenText);
    if (!chunk.finishedLines.isEmpty())
        emit linesFinished(chunk.finishedLines);
}

void DebugTerminal::onLinkClosed()
{
    if (!m_running || m_stopping)
        return;
    m_running = false;
    m_capture.dropUnfinishedLine();
    const QString reason = m_link.errorText();
    m_errorText = reason.isEmpty() ? tr("The port was closed.") : reason;
    emit runningChanged(false);
    emit lineLost(m_errorText);
}

} // namespace velto::debugterm
