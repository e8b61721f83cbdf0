#pragma once

#include "common/range_rule.h"

namespace velto::modbus {

inline constexpr int kTimeoutMinimumMs = 1;
inline constexpr int kTimeoutMaximumMs = 30000;
inline constexpr int kDefaultReceiveTimeoutMs = 1000;
inline constexpr int kDefaultTransmitTimeoutMs = 300;

// The range checks of the time-out boxes, in milliseconds.
inline const RangeRule kReceiveTimeoutRule { kTimeoutMinimumMs, kTimeoutMaximumMs, kDefaultReceiveTimeoutMs,
    QStringLiteral("Wrong value. Enter a valid Receive Timeout value, between 1 msec to 30000 msec "
                   "(default value 1000 msec)") };
inline const RangeRule kTransmitTimeoutRule { kTimeoutMinimumMs, kTimeoutMaximumMs, kDefaultTransmitTimeoutMs,
    QStringLiteral("Wrong value. Enter a valid Xmt Timeout value, between 1 msec to 30000 msec "
                   "(default value 300 msec)") };

} // namespace velto::modbus
