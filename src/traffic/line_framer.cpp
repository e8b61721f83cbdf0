#include "traffic/line_framer.h"

#include "modbus/rtu_answer.h"
#include "modbus/rtu_request.h"

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
    m_modbusDue = !bytes.isEmpty() && m_lastSent == Protocol::ModbusRtu;
    // A Write Single Register answer repeats its request: only the master can tell an echo of one.
    const bool answerRepeatsRequest
        = m_modbusDue && m_context.modbusFunction == velto::modbus::rtu::kWriteSingleRegister;
    m_ownFrame = answerRepeatsRequest ? QByteArray() : bytes.toByteArray();
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
    m_ownFrame.clear();
    rows.append(echoRows(bytes, QStringLiteral("echo of what was sent, skipped")));
    return rows;
}

QList<TrafficRow> LineFramer::echoRows(QByteArrayView bytes, const QString& summary) const
{
    QList<TrafficRow> rows;
    for (qsizetype at = 0; at < bytes.size(); at += kMaxRowBytes) {
        const QByteArrayView part = bytes.sliced(at, std::min(kMaxRowBytes, bytes.size() - at));
        rows.append(dataRow(Direction::Rx, { receivingProtocol(), summary, {} }, part));
    }
    return rows;
}

QList<TrafficRow> LineFramer::exchangeEnded()
{
    QList<TrafficRow> rows;
    if (!m_modbusDue)
        return rows;
    takeFrames(rows, true);
    m_modbusDue = false;
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
    m_modbusDue = false;
    m_ownFrame.clear();
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
        if (!m_ownFrame.isEmpty()) {
            if (rest.startsWith(m_ownFrame)) {
                rows.append(echoRows(rest.first(m_ownFrame.size()),
                    QStringLiteral("our own frame came back (echo; Remove echo is off)")));
                at += m_ownFrame.size();
                m_ownFrame.clear();
                // The master fails a request whose own bytes come back: nothing after is its answer.
                m_modbusDue = false;
                continue;
            }
            // It may still turn out to be our own frame.
            if (!all && QByteArrayView(m_ownFrame).startsWith(rest))
                break;
            m_ownFrame.clear();
        }
        if (protocol == Protocol::ModbusRtu) {
            const qsizetype taken = takeModbusFrame(rows, rest, all);
            if (taken == 0)
                break;
            at += taken;
            continue;
        }
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

qsizetype LineFramer::takeModbusFrame(QList<TrafficRow>& rows, QByteArrayView rest, bool all)
{
    auto row = [&rows](QByteArrayView bytes, const QString& summary) {
        rows.append(dataRow(Direction::Rx, { Protocol::ModbusRtu, summary, {} }, bytes));
        return bytes.size();
    };
    const QByteArrayView head = rest.first(std::min(kMaxRowBytes, rest.size()));
    if (!m_modbusDue)
        return row(head, QStringLiteral("stray: no answer is due, dropped"));
    const velto::modbus::AnswerFrame frame = velto::modbus::frameRtuAnswer(rest, m_context.modbusFunction);
    switch (frame.state) {
    case velto::modbus::AnswerFrame::State::Whole: {
        m_modbusDue = false;
        const QByteArrayView answer = rest.first(std::min(frame.length, kMaxRowBytes));
        rows.append(dataRow(Direction::Rx, labelModbusAnswer(answer, m_context), answer));
        return answer.size();
    }
    case velto::modbus::AnswerFrame::State::Incomplete:
        if (!all && rest.size() < kMaxRowBytes)
            return 0;
        return row(head, QStringLiteral("not a whole answer"));
    case velto::modbus::AnswerFrame::State::Unframeable:
        break;
    }
    m_modbusDue = false;
    return row(head, QStringLiteral("no answer to the request, dropped"));
}

void LineFramer::appendFrame(QList<TrafficRow>& rows, QByteArrayView frame)
{
    appendLabelled(rows, Direction::Rx, labelReceived(frame, receivingProtocol(), m_context), frame);
}

} // namespace velto::traffic
