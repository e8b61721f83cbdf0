#pragma once

#include <QByteArray>
#include <QRandomGenerator>

namespace velto::sim {

// A Taliq485 ultrasonic sensor chattering on its debug output: one measurement record line per
// cycle ("D 1834 RD 1830 RD2 1829 P 3 G 14 Z 2 A 812 Th 400 N 8 Ti 10893 Tn 10200 Tx 11500 Tp 23
// M 1 C 1 S 0"), now and then the echo search reporting its distance or an event, and other
// chatter a real sensor prints. Lines end in CR LF. The output follows the time it is asked for,
// so the same times give the same bytes.
class Taliq485DebugTalker {
public:
    static constexpr qint64 kCycleMs = 200;
    static constexpr quint32 kDefaultSeed = 485;

    explicit Taliq485DebugTalker(quint32 seed = kDefaultSeed);

    // What the sensor printed after the previous call, up to ms (its own time since power-up).
    QByteArray outputUntil(qint64 ms);
    // The lines of one measurement cycle, with their line ends.
    QByteArray cycle();

    // Fault knobs: a sensor that says nothing; a line end of LF only (no CR) every N-th line;
    // a burst of line noise (random bytes, CR and LF among them) every N-th cycle. 0 is off.
    bool silent = false;
    int bareLineFeedEvery = 0;
    int noiseEvery = 0;

private:
    void line(QByteArray& out, const QByteArray& text);
    int jitter(int spread);

    QRandomGenerator m_random;
    qint64 m_cycles = 0; // cycles printed so far
    qint64 m_lines = 0;
    int m_searchDistanceMm = 0;
    int m_lastDistanceMm = 0;
};

} // namespace velto::sim
