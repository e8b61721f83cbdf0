#include "traffic/line_framer.h"

namespace velto::traffic {

namespace {

TrafficRow dataRow(Direction direction, const FrameLabel& label, QByteArrayView bytes)
{
    TrafficRow row;
    row.direction = direction;
    row.protocol = label.protocol;
    row.bytes = bytes.toByteArray();
    row.summary = label.summary;
    return row;
}

TrafficRow failureRow(Protocol protocol, const QString& text)
{
    TrafficRow row;
    row.direction = Direction::Event;
    row.protocol = protocol;
    row.failure = true;
    row.summary = text;
    return row;
}

void appendLabelled(
    QList<TrafficRow>& rows, Direction direction, const FrameLabel& label, QByteArrayView bytes)
{
    rows.append(dataRow(direction, label, bytes));
    if (!label.failure.isEmpty())
        rows.append(failureRow(label.protocol, label.failure));
}

} // namespace

LineFramer::LineFramer(Protocol only)
    : m_only(only)
{
}

QList<TrafficRow> LineFramer::sent(QByteArrayView bytes)
{
    QList<TrafficRow> rows;
    // A new request: whatever came before it belongs to the old one.
    takeFrames(rows, true);
    if (m_awaitingAnswer)
        rows.append(failureRow(m_lastSent,
            QStringLiteral("No answer to the %1 request before the next one").arg(protocolName(m_lastSent))));
    for (qsizetype at = 0; at < bytes.size(); at += kMaxRowBytes) {
        const QByteArrayView part = bytes.sliced(at, std::min(kMaxRowBytes, bytes.size() - at));
        FrameLabel label = at == 0 ? labelSent(part, m_context)
                                   : FrameLabel { m_lastSent, QStringLiteral("continued"), {} };
        if (m_only != Protocol::Unknown)
            label.protocol = m_only;
        if (at == 0)
            m_lastSent = label.protocol;
        appendLabelled(rows, Direction::Tx, label, part);
    }
    m_awaitingAnswer = !bytes.isEmpty() && expectsAnswer(m_lastSent);
    return rows;
}

QList<TrafficRow> LineFramer::received(QByteArrayView bytes)
{
    QList<TrafficRow> rows;
    if (bytes.isEmpty())
        return rows;
    m_awaitingAnswer = false;
    m_pending.append(bytes.data(), bytes.size());
    takeFrames(rows, false);
    return rows;
}

QList<TrafficRow> LineFramer::echoed(QByteArrayView bytes)
{
    // Whatever came before the echo is shown before it.
    QList<TrafficRow> rows;
    takeFrames(rows, true);
    for (qsizetype at = 0; at < bytes.size(); at += kMaxRowBytes) {
        const QByteArrayView part = bytes.sliced(at, std::min(kMaxRowBytes, bytes.size() - at));
        rows.append(dataRow(Direction::Rx,
            { receivingProtocol(), QStringLiteral("echo of what was sent, skipped"), {} }, part));
    }
    return rows;
}

QList<TrafficRow> LineFramer::lineQuiet()
{
    QList<TrafficRow> rows;
    takeFrames(rows, true);
    return rows;
}

void LineFramer::reset()
{
    m_pending.clear();
    m_lastSent = Protocol::Unknown;
    m_awaitingAnswer = false;
    m_context = {};
}

Protocol LineFramer::receivingProtocol() const
{
    return m_only != Protocol::Unknown ? m_only : m_lastSent;
}

void LineFramer::takeFrames(QList<TrafficRow>& rows, bool all)
{
    const Protocol protocol = receivingProtocol();
    qsizetype at = 0;
    while (at < m_pending.size()) {
        const QByteArrayView rest = QByteArrayView(m_pending).sliced(at);
        qsizetype length = receivedFrameLength(rest, protocol);
        if (length <= 0) {
            // Not a whole frame yet: wait, unless it has grown past a row or the line went quiet.
            if (rest.size() >= kMaxRowBytes)
                length = kMaxRowBytes;
            else if (all)
                length = rest.size();
            else
                break;
        }
        length = std::min({ length, kMaxRowBytes, rest.size() });
        appendFrame(rows, rest.first(length));
        at += length;
    }
    m_pending.remove(0, at);
}

void LineFramer::appendFrame(QList<TrafficRow>& rows, QByteArrayView frame)
{
    appendLabelled(rows, Direction::Rx, labelReceived(frame, receivingProtocol(), m_context), frame);
}

} // namespace velto::traffic
