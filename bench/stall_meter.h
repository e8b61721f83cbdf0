#pragma once

// Measuring helpers every bench shares: the event loop's longest stall and the process's CPU time
// and resident memory.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
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

} // namespace velto::bench
