#pragma once

#include "trend/sample_series.h"

#include <QList>
#include <optional>

namespace velto::trend {

// A time span [startMs, endMs): the end is not part of it.
struct TimeSpan {
    qint64 startMs = 0;
    qint64 endMs = 0;

    qint64 length() const { return endMs - startMs; }
    bool operator==(const TimeSpan&) const = default;
};

// A series reduced to one summary per pixel column, whatever the number of samples: the extremes
// keep every spike, the first and last values join the columns, and the break flags keep a failed
// poll a gap. The samples just outside the span carry the line to the plot's edges.
struct ColumnTrace {
    std::optional<Sample> before;
    QList<SpanSummary> columns;
    std::optional<Sample> after;
};

// Column c covers [start + length*c/columns, start + length*(c+1)/columns).
qint64 columnStartMs(TimeSpan span, int columns, int column);
ColumnTrace decimate(const SampleSeries& series, TimeSpan span, int columns);

// Everything the span holds of the series, for autoscaling.
SpanSummary spanSummary(const SampleSeries& series, TimeSpan span);

} // namespace velto::trend
