#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace velto {

// Time of day and a monotonic millisecond count, replaceable in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual qint64 monotonicMs() const = 0;
};

class SystemClock final : public Clock {
public:
    SystemClock() { m_started.start(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 monotonicMs() const override { return m_started.elapsed(); }
    static SystemClock& instance()
    {
        static SystemClock clock;
        return clock;
    }

private:
    QElapsedTimer m_started;
};

} // namespace velto
