#pragma once

// Measuring helpers every bench shares: the event loop's longest stall, the UI thread's own longest
// busy stretch, and the process's CPU time and resident memory.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <sys/resource.h>

namespace velto::bench {

inline constexpr double kNsPerMs = 1e6;

// CPU time of the whole process (user + system) in ms.
inline double cpuMs()
{
    constexpr double kMsPerS = 1000.0;
    constexpr double kUsPerMs = 1000.0;
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * kMsPerS + t.tv_usec / kUsPerMs; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// A 1 ms timer on the loop; the longest gap between its ticks is the longest the loop was held up.
class StallMeter : public QObject {
public:
    static constexpr int kProbeMs = 1;

    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kProbeMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestNs = std::max(m_longestNs, now - m_lastNs);
            m_lastNs = now;
        });
    }
    void start()
    {
        m_longestNs = 0;
        m_clock.start();
        m_lastNs = 0;
        m_timer.start();
    }
    // The longest gap so far, without stopping.
    double longestMs() const { return m_longestNs / kNsPerMs; }
    double stopAndLongestMs()
    {
        m_timer.stop();
        return longestMs();
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};

// The longest time the UI thread itself worked between two ticks of a 1 ms timer (its own CPU time,
// not the wall clock): on a loaded machine the wall-clock stall also holds the time the thread was
// waiting for a core, which this leaves out.
class BusyMeter : public QObject {
public:
    BusyMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = threadCpuNs();
            m_longestNs = std::max(m_longestNs, now - m_lastNs);
            m_lastNs = now;
        });
        m_lastNs = threadCpuNs();
        m_timer.start();
    }
    double stopAndLongestMs()
    {
        m_timer.stop();
        return m_longestNs / kNsPerMs;
    }

private:
    static qint64 threadCpuNs()
    {
        timespec t {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    }

    QTimer m_timer;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};

} // namespace velto::bench
