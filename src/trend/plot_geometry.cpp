#include "trend/plot_geometry.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cmath>

namespace velto::trend {

namespace {

constexpr double kMargin = 6;
constexpr double kAxisBandWidth = 62;
constexpr double kUnitRowHeight = 18;
constexpr double kTimeBandHeight = 36;
constexpr double kTitleHeight = 28;
constexpr double kLegendRowHeight = 20;
constexpr double kLegendItemWidth = 300;
constexpr double kSwatchWidth = 18;
constexpr double kSwatchHeight = 8;
constexpr double kSwatchGap = 6;
// Room right of the plot for the last time label when no axis stands there.
constexpr double kRightRoom = 30;
constexpr double kValueTickSpacing = 36;
constexpr double kTimeTickSpacing = 100;
constexpr double kAutoPadFraction = 0.05;
constexpr double kFlatPadFraction = 0.1;
constexpr int kMaxDecimals = 9;
constexpr double kPlainNumberLimit = 1e7;

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
constexpr std::array<qint64, 23> kTimeSteps { 100, 200, 500, kSecond, 2 * kSecond, 5 * kSecond, 10 * kSecond,
    15 * kSecond, 30 * kSecond, kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
    kHour, 2 * kHour, 3 * kHour, 6 * kHour, 12 * kHour, kDay, 2 * kDay, 7 * kDay };

int decimalsFor(double step)
{
    return std::clamp(int(-std::floor(std::log10(step) + 1e-9)), 0, kMaxDecimals);
}

QString numberText(double value, int decimals)
{
    if (std::abs(value) >= kPlainNumberLimit)
        return QString::number(value, 'g', 7);
    QString text = QString::number(value, 'f', decimals);
    // -0.00 is 0.00
    if (text.startsWith(QLatin1Char('-'))
        && text.mid(1).remove(QLatin1Char('0')).remove(QLatin1Char('.')).isEmpty())
        text.remove(0, 1);
    return text;
}

double niceStep(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double m : { 1.0, 2.0, 5.0, 10.0 }) {
        if (m * power >= rough * (1 - 1e-9))
            return m * power;
    }
    return 10 * power;
}

double yOf(double value, ValueRange range, const QRectF& plot)
{
    return plot.bottom() - (value - range.low) / range.length() * plot.height();
}

double xOf(qint64 timeMs, TimeSpan span, const QRectF& plot)
{
    return plot.left() + double(timeMs - span.startMs) / double(span.length()) * plot.width();
}

// Floor division for times before the epoch too.
qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

QString timeFormat(qint64 step)
{
    if (step < kSecond)
        return QStringLiteral("hh:mm:ss.zzz");
    if (step < kMinute)
        return QStringLiteral("hh:mm:ss");
    if (step < kDay)
        return QStringLiteral("hh:mm");
    return QStringLiteral("dd.MM.");
}

} // namespace

QTimeZone wallClockZone()
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    return zone.isValid() ? zone : QTimeZone::utc();
}

ValueRange autoRange(const SpanSummary& summary)
{
    if (summary.values == 0)
        return {};
    if (summary.min == summary.max) {
        const double pad = summary.min == 0 ? 1 : std::abs(summary.min) * kFlatPadFraction;
        return { summary.min - pad, summary.max + pad };
    }
    const double pad = (summary.max - summary.min) * kAutoPadFraction;
    return { summary.min - pad, summary.max + pad };
}

QList<Tick> valueTicks(ValueRange range, double top, double bottom)
{
    QList<Tick> ticks;
    const double height = bottom - top;
    if (!(range.length() > 0) || height <= 0 || !std::isfinite(range.length()))
        return ticks;
    const double count = std::max(2.0, std::floor(height / kValueTickSpacing));
    const double step = niceStep(range.length() / count);
    const int decimals = decimalsFor(step);
    const QRectF plot(0, top, 1, height);
    for (double k = std::ceil(range.low / step - 1e-9); k * step <= range.high + step * 1e-9; ++k) {
        const double value = k * step;
        ticks << Tick { yOf(value, range, plot), numberText(value, decimals) };
    }
    return ticks;
}

QList<Tick> timeTicks(TimeSpan span, double left, double right, const QTimeZone& zone)
{
    QList<Tick> ticks;
    const double width = right - left;
    if (span.length() <= 0 || width <= 0)
        return ticks;
    const double wanted = double(span.length()) * kTimeTickSpacing / width;
    qint64 step = kTimeSteps.back();
    for (const qint64 s : kTimeSteps) {
        if (double(s) >= wanted) {
            step = s;
            break;
        }
    }
    const qint64 offset
        = qint64(QDateTime::fromMSecsSinceEpoch(span.startMs, zone).offsetFromUtc()) * kSecond;
    const QString format = timeFormat(step);
    const QRectF plot(left, 0, width, 1);
    for (qint64 local = (floorDiv(span.startMs + offset - 1, step) + 1) * step; local - offset < span.endMs;
         local += step) {
        const qint64 t = local - offset;
        ticks << Tick { xOf(t, span, plot), QDateTime::fromMSecsSinceEpoch(t, zone).toString(format) };
    }
    return ticks;
}

QString dateCaption(TimeSpan span, const QTimeZone& zone)
{
    const QString format = QStringLiteral("yyyy-MM-dd");
    const QString first = QDateTime::fromMSecsSinceEpoch(span.startMs, zone).toString(format);
    const QString last
        = QDateTime::fromMSecsSinceEpoch(std::max(span.startMs, span.endMs - 1), zone).toString(format);
    return first == last ? first : QStringLiteral("%1 - %2").arg(first, last);
}

SeriesPath traceColumns(const ColumnTrace& trace, const QRectF& plot, TimeSpan span, ValueRange range)
{
    SeriesPath path;
    QPolygonF run;
    auto add = [&run](QPointF p) {
        if (run.isEmpty() || run.last() != p)
            run << p;
    };
    auto flush = [&] {
        if (run.size() == 1)
            path.dots << run.first();
        else if (run.size() > 1)
            path.lines << run;
        run.clear();
    };
    auto pointOf
        = [&](const Sample& s) { return QPointF(xOf(s.timeMs, span, plot), yOf(s.value, range, plot)); };

    // The value just left of the plot only gives the first line its slope; it is no dot of its own.
    std::optional<QPointF> lead;
    bool joined = false; // the last value so far has no gap after it
    if (trace.before && trace.before->kind == SampleKind::Value) {
        lead = pointOf(*trace.before);
        joined = true;
    }
    for (qsizetype c = 0; c < trace.columns.size(); ++c) {
        const SpanSummary& s = trace.columns[c];
        const double x = plot.left() + double(c) + 0.5;
        if (s.failed)
            path.failureXs << x;
        if (s.values == 0) {
            if (s.broken) {
                joined = false;
                lead.reset();
                flush();
            }
            continue;
        }
        if (!joined || s.brokenBeforeFirst)
            flush();
        else if (lead)
            add(*lead);
        lead.reset();
        add(QPointF(x, yOf(s.first, range, plot)));
        add(QPointF(x, yOf(s.min, range, plot)));
        add(QPointF(x, yOf(s.max, range, plot)));
        add(QPointF(x, yOf(s.last, range, plot)));
        joined = !s.brokenAfterLast;
    }
    if (joined && trace.after && trace.after->kind == SampleKind::Value) {
        // With no value inside the plot, the line between the two outside ones still crosses it.
        if (lead)
            add(*lead);
        if (!run.isEmpty())
            add(pointOf(*trace.after));
    }
    flush();
    return path;
}

PlotGeometry plotGeometry(const PlotRequest& request)
{
    PlotGeometry g;
    g.size = request.size;
    g.span = request.span;
    g.title = request.title;
    const double width = request.size.width();
    const double height = request.size.height();

    QStringList units;
    for (const PlotSeries& s : request.series) {
        if (!units.contains(s.unit))
            units << s.unit;
    }
    const qsizetype leftAxes = std::max<qsizetype>(1, (units.size() + 1) / 2);
    const qsizetype rightAxes = units.size() / 2;

    double top = kMargin + kUnitRowHeight;
    double bottom = height - kMargin - kTimeBandHeight;
    if (request.framed) {
        g.titleRect = QRectF(kMargin, kMargin, width - 2 * kMargin, kTitleHeight);
        top += kTitleHeight;
        const int perRow = std::max(1, int((width - 2 * kMargin) / kLegendItemWidth));
        const auto rows = (request.series.size() + perRow - 1) / perRow;
        const double legendTop = height - kMargin - double(rows) * kLegendRowHeight;
        bottom = legendTop - kTimeBandHeight;
        for (qsizetype i = 0; i < request.series.size(); ++i) {
            const double x = kMargin + double(i % perRow) * kLegendItemWidth;
            const double y = legendTop + double(i / perRow) * kLegendRowHeight;
            const PlotSeries& s = request.series[i];
            g.legend << LegendEntry { QRectF(x, y + (kLegendRowHeight - kSwatchHeight) / 2, kSwatchWidth,
                                          kSwatchHeight),
                QRectF(x + kSwatchWidth + kSwatchGap, y, kLegendItemWidth - kSwatchWidth - 2 * kSwatchGap,
                    kLegendRowHeight),
                s.label, s.colour };
        }
    }
    const double left = kMargin + double(leftAxes) * kAxisBandWidth;
    const double right = width - kMargin - (rightAxes > 0 ? double(rightAxes) * kAxisBandWidth : kRightRoom);
    g.plot = QRectF(QPointF(left, top), QPointF(std::max(left, right), std::max(top, bottom)));
    g.timeBand = QRectF(g.plot.left(), g.plot.bottom(), g.plot.width(), kTimeBandHeight);
    if (g.plot.width() < 1 || g.plot.height() < 1 || request.span.length() <= 0)
        return g;

    g.timeTicks = timeTicks(request.span, g.plot.left(), g.plot.right(), request.zone);
    g.dateCaption = dateCaption(request.span, request.zone);

    for (qsizetype k = 0; k < units.size(); ++k) {
        ValueAxis axis;
        axis.unit = units[k];
        axis.left = k % 2 == 0;
        const double outward = double(k / 2) * kAxisBandWidth;
        axis.band = axis.left
            ? QRectF(g.plot.left() - outward - kAxisBandWidth, g.plot.top(), kAxisBandWidth, g.plot.height())
            : QRectF(g.plot.right() + outward, g.plot.top(), kAxisBandWidth, g.plot.height());
        if (const auto manual = request.manualRanges.find(axis.unit);
            manual != request.manualRanges.end() && manual->length() > 0) {
            axis.range = *manual;
            axis.manual = true;
        } else {
            SpanSummary all;
            for (const PlotSeries& s : request.series) {
                if (s.unit == axis.unit && s.samples)
                    all.append(spanSummary(*s.samples, request.span));
            }
            axis.range = autoRange(all);
        }
        axis.ticks = valueTicks(axis.range, g.plot.top(), g.plot.bottom());
        g.axes << axis;
    }

    const int columns = int(g.plot.width());
    for (const PlotSeries& s : request.series) {
        const int axis = int(units.indexOf(s.unit));
        SeriesPath path;
        if (s.samples)
            path = traceColumns(
                decimate(*s.samples, request.span, columns), g.plot, request.span, g.axes[axis].range);
        path.colour = s.colour;
        path.axis = axis;
        g.series << path;
    }
    return g;
}

qint64 timeAtX(const PlotGeometry& geometry, double x)
{
    if (geometry.plot.width() <= 0)
        return geometry.span.startMs;
    return geometry.span.startMs
        + qint64(std::llround(
            (x - geometry.plot.left()) / geometry.plot.width() * double(geometry.span.length())));
}

double xOfTime(const PlotGeometry& geometry, qint64 timeMs)
{
    return xOf(timeMs, geometry.span, geometry.plot);
}

double valueAtY(const PlotGeometry& geometry, int axis, double y)
{
    const ValueRange range = geometry.axes.value(axis).range;
    if (geometry.plot.height() <= 0)
        return range.low;
    return range.low + (geometry.plot.bottom() - y) / geometry.plot.height() * range.length();
}

int axisAt(const PlotGeometry& geometry, QPointF point)
{
    for (qsizetype k = 0; k < geometry.axes.size(); ++k) {
        if (geometry.axes[k].band.contains(point))
            return int(k);
    }
    return -1;
}

QString readout(const PlotGeometry& geometry, QPointF point, const QTimeZone& zone)
{
    if (!geometry.plot.contains(point) || geometry.span.length() <= 0)
        return {};
    QStringList parts { QDateTime::fromMSecsSinceEpoch(timeAtX(geometry, point.x()), zone)
                            .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) };
    for (qsizetype k = 0; k < geometry.axes.size(); ++k) {
        const ValueAxis& axis = geometry.axes[k];
        // One digit finer than the ticks: a pixel is about a tenth of a tick step apart.
        const int decimals = axis.ticks.size() > 1 ? std::min(kMaxDecimals,
                                 decimalsFor(std::abs(valueAtY(geometry, int(k), axis.ticks[0].pos)
                                     - valueAtY(geometry, int(k), axis.ticks[1].pos)))
                                     + 1)
                                                   : 3;
        const QString value = numberText(valueAtY(geometry, int(k), point.y()), decimals);
        parts << (axis.unit.isEmpty() ? value : QStringLiteral("%1 %2").arg(value, axis.unit));
    }
    return parts.join(QStringLiteral("   "));
}

} // namespace velto::trend
