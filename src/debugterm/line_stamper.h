#pragma once

#include "debugterm/screen_line_counter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace velto::debugterm {

// What one piece of the debug stream does to the screen and to the capture file.
struct StampedChunk {
    // The screen was emptied (line limit or size limit); screenText is what follows the last emptying.
    bool screenCleared = false;
    QString screenText;
    // Bytes for the capture file; empty when not capturing.
    QByteArray capture;
    // Line feeds seen, i.e. lines finished on the screen.
    int lines = 0;
    // The finished screen lines with their stamps, without line ends; only when kept (see keepLines).
    QStringList finishedLines;
};

// Turns the sensor's debug text, arriving in pieces of any size, into screen text and capture-file
// bytes. Every character is handled on its own, so where the pieces are cut (a CR here, its LF in
// the next read) changes nothing:
// - a line feed shows three spaces, the stamp and a line break ("\n"), and counts a line;
// - a carriage return shows nothing; the capture gets a tab, the stamp and CR LF;
// - anything else shows (control characters as visible symbols) and goes to the capture as is.
// The stamp is the time since the terminal opened at the moment the piece is handled. A capture
// that starts while a line is under way starts with the next line: the file never opens on half of
// one.
class LineStamper {
public:
    // Beyond this many characters without the line limit emptying it (a stream without line feeds)
    // the screen is emptied as well, so it never grows without bound.
    static constexpr qsizetype kMaxScreenChars = 64 * 1024;
    static constexpr char kStampGap[] = "   ";

    StampedChunk feed(QByteArrayView bytes, qint64 elapsedMs, bool capturing);

    // Capture is starting: the bytes for the file begin after the line under way, if any.
    void captureStarted() { m_skipCaptureLine = !m_atCaptureLineStart; }

    // Clear Screen: the screen is empty now; the line count goes on.
    void screenEmptied() { m_screenChars = 0; }
    int screenLineCount() const { return m_lines.count(); }

    // Collects finished lines for line-by-line output (the command-line capture).
    void setKeepLines(bool on)
    {
        m_keepLines = on;
        m_partialLine.clear();
    }
    bool keepsLines() const { return m_keepLines; }

private:
    void keepPartial(StampedChunk& out, const QString& text);
    void show(StampedChunk& out, const QString& text);
    void emptyScreen(StampedChunk& out);

    ScreenLineCounter m_lines;
    qsizetype m_screenChars = 0;
    bool m_keepLines = false;
    // Capture lines end at CR (a lone LF adds nothing to the file).
    bool m_atCaptureLineStart = true;
    bool m_skipCaptureLine = false;
    QString m_partialLine;
};

} // namespace velto::debugterm
