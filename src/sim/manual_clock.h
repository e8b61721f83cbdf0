#pragma once

#include "common/clock.h"

namespace velto::sim {

// A clock that only moves when told to, so simulated readings are repeatable in tests and demos.
class ManualClock final : public Clock {
public:
    explicit ManualClock(qint64 startMs = 0)
        : m_ms(startMs)
    {
    }
    QDateTime now() const override { return m_epoch.addMSecs(m_ms); }
    qint64 monotonicMs() const override { return m_ms; }
    void setMs(qint64 ms) { m_ms = ms; }
    void advance(qint64 ms) { m_ms += ms; }

private:
    QDateTime m_epoch = QDateTime(QDate(2024, 1, 1), QTime(0, 0));
    qint64 m_ms = 0;
};

} // namespace velto::sim
