#pragma once

#include "common/clock.h"
#include "trend/poll_readings.h"
#include "trend/trend_store.h"

#include <QObject>

namespace velto::modbus {
class MultiDevicePoller;
class SingleSensorPoller;
} // namespace velto::modbus

namespace velto::veltoproto {
class VeltoPoller;
}

namespace velto::trend {

// Puts what the pollers read into the store, stamped with the wall clock as each poll ends: a
// reading as a value, a poll that brought none as a failure of the series it would have fed.
class PollFeed : public QObject {
    Q_OBJECT
public:
    PollFeed(TrendStore& store, const Clock& clock, QObject* parent = nullptr);

    void watch(modbus::SingleSensorPoller& poller);
    void watch(modbus::MultiDevicePoller& poller);
    void watch(veltoproto::VeltoPoller& poller);

    // The polling stopped (a mode change, Disconnect, a tool window's exit).
    void pollingStopped();

private:
    void add(const QList<Reading>& readings);

    TrendStore& m_store;
    const Clock& m_clock;
};

} // namespace velto::trend
