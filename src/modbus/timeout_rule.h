#pragma once

#include <QString>
#include <optional>

namespace velto {
class Prompter;
}

namespace velto::modbus {

// The range check of a time-out box: what it accepts, what it says and what it puts back.
struct TimeoutRule {
    int minimumMs;
    int maximumMs;
    int defaultMs;
    QString message;

    QString defaultText() const { return QString::number(defaultMs); }
};

inline constexpr int kTimeoutMinimumMs = 1;
inline constexpr int kTimeoutMaximumMs = 30000;
inline constexpr int kDefaultReceiveTimeoutMs = 1000;
inline constexpr int kDefaultTransmitTimeoutMs = 300;

inline const TimeoutRule kReceiveTimeoutRule { kTimeoutMinimumMs, kTimeoutMaximumMs, kDefaultReceiveTimeoutMs,
    QStringLiteral("Wrong value. Enter a valid Receive Timeout value, between 1 msec to 30000 msec "
                   "(default value 1000 msec)") };
inline const TimeoutRule kTransmitTimeoutRule { kTimeoutMinimumMs, kTimeoutMaximumMs,
    kDefaultTransmitTimeoutMs,
    QStringLiteral("Wrong value. Enter a valid Xmt Timeout value, between 1 msec to 30000 msec "
                   "(default value 300 msec)") };

// A whole decimal number, blanks around it allowed; nothing for any other text.
std::optional<int> parseWholeNumber(const QString& text);

struct TimeoutDecision {
    int ms; // what to pass to the master (and, for transmit, the poll interval)
    std::optional<QString> replacementText; // set: put this back into the box
};

// Accepts the box text or, when it is out of range, shows the rule's message and falls back to
// the default. Text that is not a whole number (empty, "12a", "5.5") counts as out of range, so
// the master never sees it.
TimeoutDecision checkTimeoutText(const QString& text, const TimeoutRule& rule, Prompter& prompter);

} // namespace velto::modbus
