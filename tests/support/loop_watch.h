#pragma once

#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

namespace velto::test {

// Watches the event loop through a stretch of a test. A loop that spins (a dead descriptor that
// stays readable, a timer of no interval) wakes tens of thousands of times a second where an idle
// one wakes tens of times; a loop held up by blocking work lets its short probe timer fall behind.
// Both figures are for catching spins and hangs, never for timing anything.
class LoopWatch : public QObject {
public:
    static constexpr int kProbeMs = 20;
    // Far above what the tests' own timers and peers wake the loop for, far below any spin.
    static constexpr double kSpinWakeupsPerSecond = 2000;

    LoopWatch();
    ~LoopWatch() override;

    // Starts a fresh stretch.
    void restart();
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    qint64 wakeups() const { return m_wakeups; }
    double wakeupsPerSecond() const;
    // The longest the probe timer waited beyond its interval, the current wait included.
    qint64 longestGapMs() const;
    qint64 probeTicks() const { return m_ticks; }
    // Says what was seen, for failure messages.
    QByteArray describe() const;

private:
    QTimer m_probe;
    QElapsedTimer m_clock;
    QMetaObject::Connection m_awake;
    qint64 m_wakeups = 0;
    qint64 m_ticks = 0;
    qint64 m_lastTickMs = 0;
    qint64 m_longestGapMs = 0;
};

} // namespace velto::test
