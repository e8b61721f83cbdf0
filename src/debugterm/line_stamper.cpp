#include "debugterm/line_stamper.h"

#include "debugterm/stamp_format.h"

namespace velto::debugterm {

namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr char kTab = '\t';
constexpr char16_t kControlPictures = 0x2400; // U+2400.. show C0 controls as symbols
constexpr char16_t kDeletePicture = 0x2421;
constexpr uchar kFirstPrintable = 0x20;
constexpr uchar kDelete = 0x7f;

// Latin-1 text for the screen; control characters become visible symbols so garbage on the line is
// seen rather than silently swallowed by the text box.
QString screenText(QByteArrayView run)
{
    QString text = QString::fromLatin1(run);
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < kFirstPrintable && u != kTab)
            c = QChar(char16_t(kControlPictures + u));
        else if (u == kDelete)
            c = QChar(kDeletePicture);
    }
    return text;
}

} // namespace

StampedChunk LineStamper::feed(QByteArrayView bytes, qint64 elapsedMs, bool capturing)
{
    StampedChunk out;
    if (capturing)
        out.capture.reserve(bytes.size() + bytes.size() / 8);
    QString stamp; // made once per piece, on the first line end that needs it
    auto stampText = [&]() -> const QString& {
        if (stamp.isEmpty())
            stamp = formatStamp(elapsedMs);
        return stamp;
    };

    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n) {
        qsizetype end = i;
        while (end < n && bytes[end] != kLineFeed && bytes[end] != kCarriageReturn)
            ++end;
        if (end > i) {
            const QByteArrayView run = bytes.sliced(i, end - i);
            const QString shown = screenText(run);
            if (m_keepLines)
                keepPartial(out, shown);
            show(out, shown);
            if (capturing && !m_skipCaptureLine)
                out.capture.append(run);
            m_atCaptureLineStart = false;
        }
        if (end == n)
            break;
        if (bytes[end] == kLineFeed) {
            const QString tail = QLatin1String(kStampGap) + stampText();
            if (m_keepLines) {
                out.finishedLines.append(m_partialLine + tail);
                m_partialLine.clear();
            }
            show(out, tail + QLatin1Char('\n'));
            ++out.lines;
            if (m_lines.lineShown())
                emptyScreen(out);
        } else {
            if (capturing && !m_skipCaptureLine) {
                out.capture.append(kTab);
                out.capture.append(stampText().toLatin1());
                out.capture.append("\r\n");
            }
            m_skipCaptureLine = false;
            m_atCaptureLineStart = true;
        }
        i = end + 1;
    }
    return out;
}

void LineStamper::keepPartial(StampedChunk& out, const QString& text)
{
    // A line longer than a whole screen is cut for the line-by-line output too.
    if (!m_partialLine.isEmpty() && m_partialLine.size() + text.size() > kMaxScreenChars) {
        out.finishedLines.append(m_partialLine);
        m_partialLine.clear();
    }
    m_partialLine += text.right(kMaxScreenChars);
}

void LineStamper::show(StampedChunk& out, const QString& text)
{
    if (m_screenChars + text.size() > kMaxScreenChars)
        emptyScreen(out);
    // One run longer than the screen holds shows its end.
    const QString shown = text.size() > kMaxScreenChars ? text.right(kMaxScreenChars) : text;
    out.screenText += shown;
    m_screenChars += shown.size();
}

void LineStamper::emptyScreen(StampedChunk& out)
{
    out.screenCleared = true;
    out.screenText.clear();
    m_screenChars = 0;
}

} // namespace velto::debugterm
