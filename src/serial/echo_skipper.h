#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace velto::serial {

// Takes our own frames back out of what the line brings, for adapters that hear their own
// transmitter. The bytes of each frame sent are due back first; received bytes that match them are
// held until the whole of what was sent has come back, and only then counted as echo. A byte that
// does not match ends the wait: the line does not echo (or garbled it), and everything held is
// handed on as received, so nothing a device sent is ever lost to a guess.
class EchoSkipper {
public:
    // Echo still due beyond this is forgotten (a line that never echoes, written to without end).
    static constexpr qsizetype kMaxDueBytes = 64 * 1024;

    struct Split {
        QByteArray echo; // our own bytes, come back whole
        QByteArray passed; // everything else, in the order it came
    };

    // A frame went out: its bytes are due back before anything else.
    void sent(QByteArrayView bytes);
    Split take(QByteArrayView received);
    // The line was opened anew or its input cleared: nothing is due.
    void reset();
    // Stops waiting; what was held is handed back as received.
    QByteArray release();
    bool waiting() const { return !m_due.isEmpty(); }

private:
    QByteArray m_due; // sent, not yet come back
    qsizetype m_matched = 0; // leading bytes of m_due already received and held
};

} // namespace velto::serial
