#pragma once

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

namespace velto::sim {

// What the simulated line does to the replies it sends, so a user or a test can watch the program
// meet a misbehaving peer. Probabilities are 0..1 per reply; the default is a perfect line.
struct LineFaults {
    double silence = 0; // the reply is never sent
    double shortReply = 0; // the reply loses one or more of its last bytes
    double corrupt = 0; // one byte of the reply is changed
    double split = 0; // the reply leaves in two writes, splitGapMs apart
    double garbage = 0; // a few random bytes go out before the reply
    int lateMs = 0; // every reply leaves this long after its request
    int splitGapMs = 20;
    // Every byte the program sends comes straight back, before any reply: an RS-485 adapter that
    // hears its own transmitter.
    bool echo = false;

    bool any() const
    {
        return silence > 0 || shortReply > 0 || corrupt > 0 || split > 0 || garbage > 0 || lateMs > 0;
    }
};

// One write of the line: its bytes, sent delayMs after the reply was ready.
struct PlannedWrite {
    int delayMs = 0;
    QByteArray bytes;
};

// Turns one reply into the writes a line with these faults would make. Seeded, so a run with the
// same seed misbehaves the same way.
class FaultPlanner {
public:
    static constexpr int kMaxGarbageBytes = 8;

    explicit FaultPlanner(quint32 seed = 1)
        : m_random(seed)
    {
    }
    QList<PlannedWrite> plan(const QByteArray& reply, const LineFaults& faults);

private:
    bool chance(double probability) { return probability > 0 && m_random.generateDouble() < probability; }

    QRandomGenerator m_random;
};

} // namespace velto::sim
