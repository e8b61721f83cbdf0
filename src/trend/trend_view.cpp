#include "trend/trend_view.h"

#include <algorithm>
#include <cmath>

namespace velto::trend {

namespace {
constexpr double kMinDragPixels = 4;
}

TimeSpan TrendView::spanFor(std::optional<qint64> firstMs, std::optional<qint64> lastMs) const
{
    if (!following)
        return paused;
    if (!firstMs || !lastMs)
        return { 0, kEmptySpanMs };
    // The end lies just past the latest sample, which is part of the span then.
    const qint64 end = *lastMs + 1;
    if (length)
        return { end - *length, end };
    return { std::min(*firstMs, end - kMinSpanMs), end };
}

TimeSpan zoomSpan(TimeSpan span, double anchor, double factor)
{
    const double anchorMs = double(span.startMs) + anchor * double(span.length());
    const double length = std::max(double(kMinSpanMs), double(span.length()) * factor);
    const auto start = qint64(std::llround(anchorMs - anchor * length));
    return { start, start + qint64(std::llround(length)) };
}

TimeSpan panSpan(TimeSpan span, double fraction)
{
    const auto shift = qint64(std::llround(double(span.length()) * fraction));
    return { span.startMs + shift, span.endMs + shift };
}

std::optional<TimeSpan> spanBetween(const PlotGeometry& geometry, double x1, double x2)
{
    const double left = std::clamp(std::min(x1, x2), geometry.plot.left(), geometry.plot.right());
    const double right = std::clamp(std::max(x1, x2), geometry.plot.left(), geometry.plot.right());
    if (right - left < kMinDragPixels)
        return std::nullopt;
    TimeSpan span { timeAtX(geometry, left), timeAtX(geometry, right) };
    if (span.length() < kMinSpanMs)
        span = zoomSpan(span, 0.5, 1.0);
    return span;
}

ValueRange zoomRange(ValueRange range, double anchor, double factor)
{
    const double at = range.low + anchor * range.length();
    const double length = range.length() * factor;
    return { at - anchor * length, at - anchor * length + length };
}

} // namespace velto::trend
