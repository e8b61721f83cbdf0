#pragma once

#include "traffic/frame_labels.h"
#include "traffic/traffic_row.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace velto::traffic {

// The rows of one byte line, without their times. Every write is a row of its own, labelled by its
// first bytes. What comes in is cut into the frames of the protocol it answers (a Velto reply up
// to its CR, a radar status reply or monitoring block, a flash answer, a Modbus answer by the
// length its request and header give, a line of debug text); what cannot be told yet waits for
// more bytes, the next request or the line going quiet. Our own frame coming back first is a row of
// its own, and so are Modbus bytes no answer is due for: they are stray, and the master drops them.
// Failures seen on the bytes (bad checksums, answers that do not fit, a request left unanswered
// before the next) are rows of their own. No row holds more than kMaxRowBytes.
class LineFramer {
public:
    static constexpr qsizetype kMaxRowBytes = 256;

    // A line that carries only one protocol (the debug terminal's) names it; others are told apart
    // by what is written on them.
    explicit LineFramer(Protocol only = Protocol::Unknown);

    QList<TrafficRow> sent(QByteArrayView bytes);
    QList<TrafficRow> received(QByteArrayView bytes);
    // Our own bytes came back and the link skipped them (Remove echo): a row of their own, which
    // answers nothing.
    QList<TrafficRow> echoed(QByteArrayView bytes);
    // The line has been quiet: what waits becomes a row as it is.
    QList<TrafficRow> lineQuiet();
    // The Modbus master finished its request: no answer is due any more, what comes now is stray.
    QList<TrafficRow> exchangeEnded();
    bool hasPending() const { return !m_pending.isEmpty(); }
    // The port was opened anew: nothing before belongs to what follows.
    void reset();

private:
    Protocol receivingProtocol() const;
    void takeFrames(QList<TrafficRow>& rows, bool all);
    void appendFrame(QList<TrafficRow>& rows, QByteArrayView frame);
    // The length of the Modbus row at the front of `rest`; 0 while it waits for more.
    qsizetype takeModbusFrame(QList<TrafficRow>& rows, QByteArrayView rest, bool all);
    QList<TrafficRow> echoRows(QByteArrayView bytes, const QString& summary) const;

    Protocol m_only;
    Protocol m_lastSent = Protocol::Unknown;
    bool m_awaitingAnswer = false;
    bool m_modbusDue = false;
    QByteArray m_ownFrame; // the last frame sent, while it may still come back first
    LabelContext m_context;
    QByteArray m_pending;
};

} // namespace velto::traffic
