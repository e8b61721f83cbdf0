#pragma once

#include "common/range_rule.h"

namespace velto::regtest {

inline constexpr int kMinLength = 1;
inline constexpr int kMaxLength = 50;
inline constexpr int kDefaultLength = 10;
inline constexpr int kMinStartAddress = 1;
inline constexpr int kMaxStartAddress = 9999;
inline constexpr int kDefaultStartAddress = 1;
// Address 0 is the broadcast address: a read sent there is never answered, so it is refused.
inline constexpr int kMinDeviceAddress = 1;
inline constexpr int kMaxDeviceAddress = 255;
inline constexpr int kDefaultDeviceAddress = 1;
// Register numbers are shown in the holding-register style: start 1 reads as 40001.
inline constexpr int kHoldingRegisterBase = 40000;

// LenghtText of the register test window.
const RangeRule& lengthRule();
// StartAddressText of the register test window.
const RangeRule& startAddressRule();
// DeviceAddressText of the register test window.
const RangeRule& deviceAddressRule();
// ID1Text..ID5Text of the multiple-devices window (device 1..5).
RangeRule deviceIdRule(int device);

// The caption beside value i of a block that begins at register `start` (counted from 1).
int holdingRegisterLabel(int start, int index);

} // namespace velto::regtest
