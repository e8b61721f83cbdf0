#pragma once

#include <QtGlobal>

namespace velto::trend {

// A reading, a poll that brought none (drawn as a gap and marked on the time axis), or the end of a
// polling run (a gap without a mark: nothing was asked, so nothing failed).
enum class SampleKind : quint8 { Value, Failed, Break };

struct Sample {
    qint64 timeMs = 0; // wall clock, milliseconds since the epoch (UTC)
    double value = 0; // meaningful for a Value only
    SampleKind kind = SampleKind::Value;

    bool operator==(const Sample&) const = default;
};

} // namespace velto::trend
