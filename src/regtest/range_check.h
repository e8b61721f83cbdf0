#pragma once

#include <QString>
#include <optional>

namespace velto {
class Prompter;
}

namespace velto::regtest {

// What an input box accepts, what it says when it does not, and what it puts back.
struct RangeRule {
    int minimum;
    int maximum;
    int defaultValue;
    QString message;

    QString defaultText() const { return QString::number(defaultValue); }
};

struct RangeDecision {
    int value; // what the window applies
    std::optional<QString> replacementText; // set: put this back into the box
};

// Accepts a whole number within the rule; anything else (out of range, empty, not a number) shows
// the rule's message and falls back to its default.
RangeDecision checkRangeText(const QString& text, const RangeRule& rule, Prompter& prompter);

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
