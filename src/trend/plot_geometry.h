#pragma once

#include "trend/decimation.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QPolygonF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTimeZone>

namespace velto::trend {

struct ValueRange {
    double low = 0;
    double high = 1;

    double length() const { return high - low; }
    bool operator==(const ValueRange&) const = default;
};

struct PlotSeries {
    const SampleSeries* samples = nullptr;
    QString label;
    QString unit;
    QColor colour;
};

// The zone of the machine's wall clock; UTC where it cannot be known.
QTimeZone wallClockZone();

struct PlotRequest {
    QSize size;
    TimeSpan span;
    QList<PlotSeries> series;
    // Value ranges set by hand, by unit; every other unit scales to what the span holds.
    QHash<QString, ValueRange> manualRanges;
    QTimeZone zone = wallClockZone();
    // A picture for a file: a title above the plot and a legend below it.
    bool framed = false;
    QString title;
};

// A mark on an axis: its x on the time axis, its y on a value axis.
struct Tick {
    double pos = 0;
    QString label;

    bool operator==(const Tick&) const = default;
};

struct ValueAxis {
    QString unit;
    ValueRange range;
    bool manual = false;
    bool left = true;
    QRectF band; // beside the plot: tick marks and labels
    QList<Tick> ticks;
};

// One series as lines (a polyline per unbroken run, at most four points a pixel column: first, low,
// high, last), dots for values with a gap on both sides, and the columns where a poll failed.
struct SeriesPath {
    QColor colour;
    int axis = 0;
    QList<QPolygonF> lines;
    QList<QPointF> dots;
    QList<double> failureXs;
};

struct LegendEntry {
    QRectF swatch;
    QRectF text;
    QString label;
    QColor colour;
};

// Everything a painter draws, in pixels of a picture of `size`.
struct PlotGeometry {
    QSize size;
    QRectF plot;
    TimeSpan span;
    QList<ValueAxis> axes; // one per unit, in the order the series name them
    QRectF timeBand;
    QList<Tick> timeTicks;
    QString dateCaption;
    QList<SeriesPath> series;
    QRectF titleRect;
    QString title;
    QList<LegendEntry> legend;
};

inline constexpr double kMarkHeight = 7; // failed-poll marks, up from the time axis

// Padded around what the span holds; a flat series gets room above and below, no values 0..1.
ValueRange autoRange(const SpanSummary& summary);
// Round steps (1, 2, 5 times a power of ten) about every 36 pixels from bottom to top.
QList<Tick> valueTicks(ValueRange range, double top, double bottom);
// Wall-clock steps (seconds, minutes, hours, days) at least 100 pixels apart, on round local times.
QList<Tick> timeTicks(TimeSpan span, double left, double right, const QTimeZone& zone);
// The date of the span, or its first and last date.
QString dateCaption(TimeSpan span, const QTimeZone& zone);

// The path of one series over `plot`: pixel column c is centred on plot.left() + c + 0.5.
SeriesPath traceColumns(const ColumnTrace& trace, const QRectF& plot, TimeSpan span, ValueRange range);

PlotGeometry plotGeometry(const PlotRequest& request);

// Where a point of the picture lies in time and value.
qint64 timeAtX(const PlotGeometry& geometry, double x);
double xOfTime(const PlotGeometry& geometry, qint64 timeMs);
double valueAtY(const PlotGeometry& geometry, int axis, double y);
// The value axis whose band holds the point; -1 for none.
int axisAt(const PlotGeometry& geometry, QPointF point);
// The crosshair's readout: the time under the point and each axis' value there; empty off the plot.
QString readout(const PlotGeometry& geometry, QPointF point, const QTimeZone& zone);

} // namespace velto::trend
