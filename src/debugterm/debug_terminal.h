#pragma once

#include "common/batched_appender.h"
#include "common/clock.h"
#include "debugterm/capture_writer.h"
#include "debugterm/line_stamper.h"

#include <QObject>
#include <QString>

namespace velto::serial {
class ByteLink;
}

namespace velto::debugterm {

// The debug terminal without its window: listens on its own link (it never sends), stamps the lines
// with the time since it was loaded, writes the capture file and hands the screen its text in
// batches, so a fast stream costs one screen update per batch period rather than one per read. The
// pending text never outgrows the screen: the stamper empties the screen before it would.
class DebugTerminal : public QObject {
    Q_OBJECT
public:
    static constexpr int kScreenBatchMs = BatchedAppender::kBatchMs;

    // The link and the clock must outlive the terminal.
    DebugTerminal(serial::ByteLink& link, const Clock& clock, QObject* parent = nullptr);
    ~DebugTerminal() override;

    // Load: closes the port, stops capture, restarts the stamps' time and the line count.
    void load();
    // Start: opens the port for listening. False (nothing changed, errorText set) when it won't open.
    bool start(const QString& port, const QString& settings);
    // Stop: closes the port. The capture file keeps the whole lines only.
    void stop();
    bool isRunning() const;

    // Open: creates the capture file. False (capture stays off, errorText set) when it can't be made.
    bool openCapture(const QString& path);
    // Close: stops capture and closes the file, which ends with the last whole line.
    void closeCapture();
    bool isCapturing() const { return m_capture.isOpen(); }
    QString capturePath() const { return m_capture.path(); }

    // Clear Screen: empties the screen. Clear Buffer: also drops what the port holds unread.
    void clearScreen();
    void clearBuffer();

    // Also reports each finished line with its stamp (linesFinished), for line-by-line output.
    void setKeepLines(bool on) { m_stamper.setKeepLines(on); }

    // Hands over the screen text gathered so far now rather than at the next batch tick.
    void flushScreen();
    QTimer& screenTimer() { return m_screen.timer(); }

    qint64 elapsedMs() const;
    QString errorText() const { return m_errorText; }
    int screenLineCount() const { return m_stamper.screenLineCount(); }
    qint64 bytesReceived() const { return m_bytesReceived; }
    qint64 linesReceived() const { return m_linesReceived; }
    qint64 bytesCaptured() const { return m_capture.bytesWritten(); }

signals:
    // The screen is to be emptied first when clearFirst is set, then text appended.
    void screenUpdate(bool clearFirst, const QString& text);
    // Bytes as they came off the line (for a trace).
    void received(const QByteArray& bytes);
    // Lines finished by this read, as the screen shows them; only with setKeepLines(true).
    void linesFinished(const QStringList& lines);
    void runningChanged(bool running);
    void capturingChanged(bool capturing);
    // Capture stopped because the file could not be written; said once per capture.
    void captureFailed(const QString& text);
    // The port went away under the terminal (adapter pulled, far end closed); it is closed now.
    void lineLost(const QString& text);

private:
    void onReadyRead();
    void onLinkClosed();

    serial::ByteLink& m_link;
    const Clock& m_clock;
    LineStamper m_stamper;
    CaptureWriter m_capture;
    BatchedAppender m_screen;
    qint64 m_startMs = 0;
    bool m_running = false;
    bool m_stopping = false;
    QString m_errorText;
    qint64 m_bytesReceived = 0;
    qint64 m_linesReceived = 0;
};

} // namespace velto::debugterm
