#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace velto {

class Prompter;

// What an input box accepts, what it says when it does not, and what it puts back. Every range
// check of the program (time-outs, addresses, block starts and lengths, intervals) is one of these.
struct RangeRule {
    int minimum;
    int maximum;
    int defaultValue;
    QString message;

    QString defaultText() const { return QString::number(defaultValue); }
    bool contains(qint64 value) const { return value >= minimum && value <= maximum; }
    // The whole number the text names, when it is inside the range; nothing for any other text.
    std::optional<int> accept(QStringView text) const;
};

struct RangeDecision {
    int value; // what the window applies
    std::optional<QString> replacementText; // set: put this back into the box
};

// Accepts a whole number within the rule; anything else (out of range, empty, not a number) shows
// the rule's message and falls back to its default.
RangeDecision checkRangeText(QStringView text, const RangeRule& rule, Prompter& prompter);

} // namespace velto
