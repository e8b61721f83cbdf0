#pragma once

#include "radar/monitoring_reply.h"

#include <QString>

#include <optional>

namespace velto::radar {

// A checked box of the radar window: its range, the default it falls back to and the message shown
// when the typed text is not a number inside the range.
struct FieldRule {
    const char* box;
    double min;
    double max;
    double fallback;
    bool whole; // whole numbers only
    const char* message;

    QString defaultText() const;
};

extern const FieldRule kNumOfAutomeasurementRule;
extern const FieldRule kTankHeightRule;
extern const FieldRule kCentralFrequencyRule;
extern const FieldRule kBandRule;
extern const FieldRule kTrueLiquidHeightRule;
extern const FieldRule kRtsDelayRule;
extern const FieldRule kDistanceOffsetRule;

// The value a settled text stands for; `message` is set when the text was refused and the box goes
// back to its default.
struct FieldDecision {
    double value = 0;
    std::optional<QString> message;
};
FieldDecision checkField(const FieldRule& rule, const QString& text);

// Limits and defaults of the FFT and RAW block-range boxes, corrected silently.
struct BlockLimits {
    int first;
    int last;
    BlockRange fallback;
};
constexpr BlockLimits kFftBlockLimits { 1, 64, { 1, 4 } };
constexpr BlockLimits kRawBlockLimits { 9, 235, { 9, 12 } };

// The range after the start (or end) box settled on `text`. The start never ends up above the end.
BlockRange checkBlockStart(const BlockLimits& limits, BlockRange current, const QString& text);
BlockRange checkBlockEnd(const BlockLimits& limits, BlockRange current, const QString& text);

} // namespace velto::radar
