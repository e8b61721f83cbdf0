#pragma once

#include "traffic/frame_labels.h"
#include "traffic/traffic_row.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace velto::traffic {

// The rows of one byte line, without their times. Every write is a row of its own, labelled by its
// first bytes. What comes in is cut into the frames of the protocol it answers (a Velto reply up
// to its CR, a radar status reply or monitoring block, a flash answer, a line of debug text); what
// cannot be told yet waits for more bytes, the next request or the line going quiet. Failures seen
// on the bytes (bad checksums, answers that do not fit, a request left unanswered before the next)
// are rows of their own. No row holds more than kMaxRowBytes.
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
    bool hasPending() const { return !m_pending.isEmpty(); }
    // The port was opened anew: nothing before belongs to what follows.
    void reset();

private:
    Protocol receivingProtocol() const;
    void takeFrames(QList<TrafficRow>& rows, bool all);
    void appendFrame(QList<TrafficRow>& rows, QByteArrayView frame);

    Protocol m_only;
    Protocol m_lastSent = Protocol::Unknown;
    bool m_awaitingAnswer = false;
    LabelContext m_context;
    QByteArray m_pending;
};

} // namespace velto::traffic
