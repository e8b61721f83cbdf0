#pragma once

#include "modbus/modbus_result.h"

#include <QObject>

namespace velto::modbus {

// The counters a poll shows beside its values: requests made, valid answers, time-outs. Each
// poller owns one and forwards changed() as its own countersChanged.
class PollCounters : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    int polls() const { return m_polls; }
    int valid() const { return m_valid; }
    int timeouts() const { return m_timeouts; }

    // One finished request: one poll, a valid answer on success, a time-out on status 9.
    void count(const ModbusResult& result);
    // A request that is not counted as a poll still counts its time-out (the register test's
    // single-request burst).
    void countTimeoutOnly(const ModbusResult& result);
    void reset();

signals:
    void changed(int polls, int valid, int timeouts);

private:
    void emitChanged();

    int m_polls = 0;
    int m_valid = 0;
    int m_timeouts = 0;
};

} // namespace velto::modbus
