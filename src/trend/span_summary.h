#pragma once

#include "trend/trend_sample.h"

#include <limits>

namespace velto::trend {

// What a run of consecutive samples holds, as far as a plot needs it: the extremes and the first
// and last value, and where failed polls or breaks lie relative to the values. Summaries of
// adjacent runs merge into the summary of the joined run, so a pixel column's summary can be put
// together from stored summaries of whole blocks instead of from every sample.
struct SpanSummary {
    int values = 0;
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    double first = 0;
    double last = 0;
    bool failed = false; // a failed poll lies in the run
    bool broken = false; // a failed poll or a break lies in the run
    bool brokenBeforeFirst = false; // ... before its first value (the whole run when it has none)
    bool brokenAfterLast = false; // ... after its last value (the whole run when it has none)
    bool brokenInside = false; // ... between two of its values

    static SpanSummary of(const Sample& sample);
    // The summary of this run followed directly by `next`.
    void append(const SpanSummary& next);
    bool empty() const { return values == 0 && !broken; }

    bool operator==(const SpanSummary&) const = default;
};

} // namespace velto::trend
