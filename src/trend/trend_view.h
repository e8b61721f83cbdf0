#pragma once

#include "trend/decimation.h"
#include "trend/plot_geometry.h"

#include <optional>

namespace velto::trend {

// What part of the time axis the plot shows. Following, the span ends at the latest sample and
// keeps its length (all samples when `length` is empty); paused, it stays where it is.
struct TrendView {
    bool following = true;
    std::optional<qint64> length; // following: the length of the span; empty: everything
    TimeSpan paused; // the span while not following

    // The span to draw given the times of the first and last sample of the store.
    TimeSpan spanFor(std::optional<qint64> firstMs, std::optional<qint64> lastMs) const;
};

inline constexpr qint64 kMinSpanMs = 1000;
inline constexpr qint64 kEmptySpanMs = 60000; // shown before the first sample arrives

// The span shrunk (factor < 1) or grown around the time at `anchor` (0 left edge .. 1 right edge),
// never shorter than a second.
TimeSpan zoomSpan(TimeSpan span, double anchor, double factor);
// The span moved by `fraction` of its length (positive: later).
TimeSpan panSpan(TimeSpan span, double fraction);
// The span between two x positions of the plot, in either order; nullopt when too narrow to mean a
// zoom (a click rather than a drag).
std::optional<TimeSpan> spanBetween(const PlotGeometry& geometry, double x1, double x2);
// The value range shrunk or grown around `anchor` (0 bottom .. 1 top).
ValueRange zoomRange(ValueRange range, double anchor, double factor);

} // namespace velto::trend
