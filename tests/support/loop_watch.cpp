#include "support/loop_watch.h"

#include <QAbstractEventDispatcher>

#include <algorithm>

namespace velto::test {

namespace {
constexpr double kMsPerSecond = 1000.0;
}

LoopWatch::LoopWatch()
{
    m_probe.setInterval(kProbeMs);
    connect(&m_probe, &QTimer::timeout, this, [this] {
        const qint64 now = m_clock.elapsed();
        m_longestGapMs = std::max(m_longestGapMs, now - m_lastTickMs);
        m_lastTickMs = now;
        ++m_ticks;
    });
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        m_awake = connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] { ++m_wakeups; });
    restart();
}

LoopWatch::~LoopWatch()
{
    disconnect(m_awake);
}

void LoopWatch::restart()
{
    m_wakeups = 0;
    m_ticks = 0;
    m_lastTickMs = 0;
    m_longestGapMs = 0;
    m_clock.start();
    m_probe.start();
}

double LoopWatch::wakeupsPerSecond() const
{
    const qint64 ms = std::max<qint64>(1, m_clock.elapsed());
    return double(m_wakeups) * kMsPerSecond / double(ms);
}

qint64 LoopWatch::longestGapMs() const
{
    return std::max(m_longestGapMs, m_clock.elapsed() - m_lastTickMs);
}

QByteArray LoopWatch::describe() const
{
    return QStringLiteral("%1 wake-ups in %2 ms (%3/s), %4 probe ticks, longest gap %5 ms")
        .arg(m_wakeups)
        .arg(m_clock.elapsed())
        .arg(wakeupsPerSecond(), 0, 'f', 0)
        .arg(m_ticks)
        .arg(longestGapMs())
        .toUtf8();
}

} // namespace velto::test
