// The trend's pure parts: summaries of runs of samples, the bounded series, the decimation to pixel
// columns, the path drawn from it, the axes, and the picture.
#include "trend/decimation.h"
#include "trend/plot_geometry.h"
#include "trend/plot_painter.h"
#include "trend/trend_view.h"

#include <QTest>

using namespace velto::trend;

namespace {

const QTimeZone kUtc = QTimeZone::utc();
// 2024-01-01 10:00:00 UTC
constexpr qint64 kTen = 1704103200000;

Sample value(qint64 t, double v)
{
    return { t, v, SampleKind::Value };
}
Sample failed(qint64 t)
{
    return { t, 0, SampleKind::Failed };
}
Sample stop(qint64 t)
{
    return { t, 0, SampleKind::Break };
}

SampleSeries seriesOf(const QList<Sample>& samples)
{
    SampleSeries s;
    for (const Sample& sample : samples)
        s.append(sample);
    return s;
}

} // namespace

Q_DECLARE_METATYPE(QList<Sample>)
Q_DECLARE_METATYPE(SpanSummary)

class TestTrendGeometry : public QObject {
    Q_OBJECT

private slots:
    void summaries_data()
    {
        QTest::addColumn<QList<Sample>>("samples");
        QTest::addColumn<SpanSummary>("expected");
        // values, min, max, first, last, failed, broken, before, after, inside
        QTest::newRow("values only") << QList<Sample> { value(0, 3), value(1, -1), value(2, 2) }
                                     << SpanSummary { 3, -1, 3, 3, 2, false, false, false, false, false };
        QTest::newRow("a failure between") << QList<Sample> { value(0, 1), failed(1), value(2, 3) }
                                           << SpanSummary { 2, 1, 3, 1, 3, true, true, false, false, true };
        QTest::newRow("a failure first") << QList<Sample> { failed(0), value(1, 2) }
                                         << SpanSummary { 1, 2, 2, 2, 2, true, true, true, false, false };
        QTest::newRow("a break last, not a failure") << QList<Sample> { value(0, 2),
            stop(1) } << SpanSummary { 1, 2, 2, 2, 2, false, true, false, true, false };
        SpanSummary failures;
        failures.failed = failures.broken = failures.brokenBeforeFirst = failures.brokenAfterLast = true;
        QTest::newRow("failures only") << QList<Sample> { failed(0), failed(1) } << failures;
    }
    void summaries()
    {
        QFETCH(QList<Sample>, samples);
        QFETCH(SpanSummary, expected);
        const SampleSeries series = seriesOf(samples);
        QCOMPARE(series.summary(0, series.size()), expected);
        // Joined one by one, or as the series keeps them: the same.
        SpanSummary joined;
        for (const Sample& s : samples)
            joined.append(SpanSummary::of(s));
        QCOMPARE(joined, expected);
    }

    // Runs across block and chunk edges give the extremes of exactly their own samples.
    void summariesAcrossBlocksAndChunks()
    {
        SampleSeries series;
        for (int i = 0; i < 10000; ++i)
            series.append(i == 9000 ? failed(i) : value(i, i == 5000 ? 99 : i == 4095 ? -7 : 1));
        QCOMPARE(series.size(), 10000);
        const SpanSummary all = series.summary(0, 10000);
        QCOMPARE(all.values, 9999);
        QCOMPARE(all.min, -7.0);
        QCOMPARE(all.max, 99.0);
        QVERIFY(all.brokenInside);
        const SpanSummary middle = series.summary(4096, 5000);
        QCOMPARE(middle.values, 904);
        QCOMPARE(middle.min, 1.0);
        QCOMPARE(middle.max, 1.0);
        QCOMPARE(series.summary(4000, 5001).max, 99.0);
        QCOMPARE(series.summary(4000, 5001).min, -7.0);
        QVERIFY(!series.summary(0, 9000).failed);
        QVERIFY(series.summary(8999, 9001).failed);
        QCOMPARE(series.lowerBound(5000), 5000);
        QCOMPARE(series.lowerBound(-5), 0);
        QCOMPARE(series.lowerBound(20000), 10000);
    }

    // Past the bound the oldest chunk goes whole; a clock set back keeps the order.
    void boundedMemory()
    {
        SampleSeries series;
        for (qint64 i = 0; i <= SampleSeries::kMaxSamples; ++i)
            series.append(value(i * 1000, 1));
        QCOMPARE(series.size(), 258049);
        QCOMPARE(series.dropped(), 4096);
        QCOMPARE(series.at(0).timeMs, 4096000);
        QCOMPARE(series.last()->timeMs, 262144000);
        series.append(value(5, 2));
        QCOMPARE(series.last()->timeMs, 262144000);
    }

    // Ten samples a second apart over five columns: two in each, the failed one makes its column's
    // gap; the samples beside the span carry the line to the edges.
    void decimationKeepsExtremesAndGaps()
    {
        const SampleSeries series = seriesOf({ value(0, 5), value(1000, 1), value(2000, 8), value(3000, 2),
            failed(4000), value(5000, 4), value(6000, 3), value(7000, 9), value(8000, 6), value(9000, 7) });
        const ColumnTrace trace = decimate(series, { 1000, 9000 }, 4);
        QCOMPARE(trace.before, value(0, 5));
        QCOMPARE(trace.after, value(9000, 7));
        QCOMPARE(trace.columns.size(), 4);
        QCOMPARE(trace.columns[0].min, 1.0);
        QCOMPARE(trace.columns[0].max, 8.0);
        QCOMPARE(trace.columns[1].values, 1);
        QVERIFY(trace.columns[1].failed && trace.columns[1].brokenAfterLast);
        QCOMPARE(trace.columns[2].first, 4.0);
        QCOMPARE(trace.columns[2].last, 3.0);
        QCOMPARE(trace.columns[3].max, 9.0);
        QCOMPARE(columnStartMs({ 1000, 9000 }, 4, 3), 7000);
    }

    // Drawn: first, low, high and last of each column joined to the next, a failed poll a gap with a
    // mark; a value alone between gaps a dot. Never a zero, never the value before repeated.
    void pathBreaksAtFailures()
    {
        ColumnTrace trace;
        trace.columns = { SpanSummary::of(value(0, 2)), SpanSummary::of(failed(1)), {}, {} };
        trace.columns[2].append(SpanSummary::of(value(2, 4)));
        trace.columns[2].append(SpanSummary::of(value(3, 6)));
        trace.columns[2].append(SpanSummary::of(value(4, 5)));
        trace.columns[3].append(SpanSummary::of(value(5, 6)));
        const SeriesPath path = traceColumns(trace, QRectF(0, 0, 4, 10), { 0, 4 }, { 0, 10 });
        QCOMPARE(path.dots, (QList<QPointF> { { 0.5, 8 } }));
        QCOMPARE(
            path.lines, (QList<QPolygonF> { QPolygonF({ { 2.5, 6 }, { 2.5, 4 }, { 2.5, 5 }, { 3.5, 4 } }) }));
        QCOMPARE(path.failureXs, (QList<double> { 1.5 }));
    }

    void pathFromOutside()
    {
        // A line crosses a plot with no sample inside; a break before the plot cuts it.
        ColumnTrace trace;
        trace.columns = { {}, {} };
        trace.before = value(-2, 0);
        trace.after = value(4, 6);
        SeriesPath path = traceColumns(trace, QRectF(0, 0, 2, 10), { 0, 2 }, { 0, 10 });
        QCOMPARE(path.lines, (QList<QPolygonF> { QPolygonF({ { -2, 10 }, { 4, 4 } }) }));
        trace.before = stop(-2);
        path = traceColumns(trace, QRectF(0, 0, 2, 10), { 0, 2 }, { 0, 10 });
        QVERIFY(path.lines.isEmpty() && path.dots.isEmpty());
    }

    void valueAxes_data()
    {
        QTest::addColumn<ValueRange>("range");
        QTest::addColumn<double>("height");
        QTest::addColumn<QList<Tick>>("ticks");
        QTest::newRow("0..10 on 100 px")
            << ValueRange { 0, 10 } << 100.0 << QList<Tick> { { 100, "0" }, { 50, "5" }, { 0, "10" } };
        QTest::newRow("decimals") << ValueRange { 0.95, 1.05 } << 200.0
                                  << QList<Tick> { { 180, "0.96" }, { 140, "0.98" }, { 100, "1.00" },
                                         { 60, "1.02" }, { 20, "1.04" } };
        QTest::newRow("below zero") << ValueRange { -3, 1 } << 80.0
                                    << QList<Tick> { { 60, "-2" }, { 20, "0" } };
    }
    void valueAxes()
    {
        QFETCH(ValueRange, range);
        QFETCH(double, height);
        QFETCH(QList<Tick>, ticks);
        const QList<Tick> got = valueTicks(range, 0, height);
        QCOMPARE(got.size(), ticks.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].label, ticks[i].label);
            QVERIFY2(qAbs(got[i].pos - ticks[i].pos) < 1e-6, qPrintable(QString::number(got[i].pos)));
        }
    }

    void autoRanges()
    {
        auto of = [](QList<Sample> samples) {
            const SampleSeries s = seriesOf(samples);
            return autoRange(s.summary(0, s.size()));
        };
        QCOMPARE(of({ value(0, 0), value(1, 10) }), (ValueRange { -0.5, 10.5 }));
        QCOMPARE(of({ value(0, 5), value(1, 5) }), (ValueRange { 4.5, 5.5 }));
        QCOMPARE(of({ value(0, 0) }), (ValueRange { -1, 1 }));
        QCOMPARE(of({ failed(0) }), (ValueRange { 0, 1 }));
    }

    void timeAxis()
    {
        // Ten minutes over 600 pixels: a tick every 2 minutes on the even minutes of the wall clock.
        const QList<Tick> ticks = timeTicks({ kTen + 30000, kTen + 630000 }, 0, 600, kUtc);
        QCOMPARE(ticks,
            (QList<Tick> {
                { 90, "10:02" }, { 210, "10:04" }, { 330, "10:06" }, { 450, "10:08" }, { 570, "10:10" } }));
        QCOMPARE(timeTicks({ kTen, kTen + 10000 }, 0, 1000, kUtc).first().label, QString("10:00:00"));
        QCOMPARE(timeTicks({ kTen, kTen + 2000 }, 0, 1000, kUtc).value(1).label, QString("10:00:00.200"));
        // A zone an hour ahead puts the labels an hour later at the same places.
        QCOMPARE(timeTicks({ kTen + 30000, kTen + 630000 }, 0, 600, QTimeZone(3600)).first(),
            (Tick { 90, "11:02" }));
        QCOMPARE(dateCaption({ kTen, kTen + 86400000 }, kUtc), QString("2024-01-01 - 2024-01-02"));
        QCOMPARE(dateCaption({ kTen, kTen + 60000 }, kUtc), QString("2024-01-01"));
    }

    // Two units: an axis on each side, in the order the series name them; a framed picture has a
    // title and a legend entry per series; the crosshair reads time and each axis' value.
    void geometryAndReadout()
    {
        const SampleSeries metres = seriesOf({ value(kTen, 1), value(kTen + 59999, 2) });
        const SampleSeries degrees = seriesOf({ value(kTen, 20), value(kTen + 60000, 20) });
        PlotRequest request;
        request.size = QSize(800, 400);
        request.span = { kTen, kTen + 60000 };
        request.zone = kUtc;
        request.series = { { &metres, "ID 1 Level (meter)", "meter", Qt::blue },
            { &degrees, "ID 1 Temperature (°C)", "°C", Qt::red } };
        request.manualRanges.insert("°C", { 0, 40 });
        PlotGeometry g = plotGeometry(request);
        QCOMPARE(g.axes.size(), 2);
        QCOMPARE(g.axes[0].unit, QString("meter"));
        QVERIFY(g.axes[0].left && !g.axes[1].left);
        QCOMPARE(g.axes[0].range.low, 0.95);
        QCOMPARE(g.axes[0].range.high, 2.05);
        QVERIFY(g.axes[1].manual);
        QCOMPARE(g.plot, QRectF(QPointF(68, 24), QPointF(732, 358)));
        QVERIFY(g.legend.isEmpty());
        QCOMPARE(g.series.size(), 2);
        QCOMPARE(g.series[1].axis, 1);
        QCOMPARE(axisAt(g, QPointF(40, 100)), 0);
        QCOMPARE(axisAt(g, QPointF(760, 100)), 1);
        QCOMPARE(readout(g, QPointF(68 + 332, 358 - 167), kUtc),
            QString("2024-01-01 10:00:30.000   1.50 meter   20.0 °C"));
        QVERIFY(readout(g, QPointF(10, 10), kUtc).isEmpty());

        request.framed = true;
        request.title = "Trend";
        g = plotGeometry(request);
        QCOMPARE(g.legend.size(), 2);
        QCOMPARE(g.legend[1].label, QString("ID 1 Temperature (°C)"));
        QVERIFY(g.legend[0].swatch.top() > g.timeBand.bottom() - 1);
        QVERIFY(g.titleRect.bottom() <= g.plot.top());
    }

    void zoomAndPan()
    {
        QCOMPARE(zoomSpan({ 0, 10000 }, 0.5, 0.5), (TimeSpan { 2500, 7500 }));
        QCOMPARE(zoomSpan({ 0, 10000 }, 0, 2), (TimeSpan { 0, 20000 }));
        QCOMPARE(zoomSpan({ 0, 1200 }, 0.5, 0.1), (TimeSpan { 100, 1100 }));
        QCOMPARE(panSpan({ 0, 10000 }, -0.25), (TimeSpan { -2500, 7500 }));
        QCOMPARE(zoomRange({ 0, 10 }, 0, 0.5), (ValueRange { 0, 5 }));
        TrendView follow;
        QCOMPARE(follow.spanFor(1000, 50000), (TimeSpan { 1000, 50001 }));
        follow.length = 10000;
        QCOMPARE(follow.spanFor(1000, 50000), (TimeSpan { 40001, 50001 }));
        TrendView paused { false, {}, { 5, 6 } };
        QCOMPARE(paused.spanFor(1000, 50000), (TimeSpan { 5, 6 }));

        PlotGeometry g;
        g.plot = QRectF(100, 0, 400, 100);
        g.span = { 0, 40000 };
        QCOMPARE(spanBetween(g, 300, 200), (TimeSpan { 10000, 20000 }));
        QCOMPARE(spanBetween(g, 50, 150), (TimeSpan { 0, 5000 }));
        QVERIFY(!spanBetween(g, 200, 202));
    }

    // The picture: a white background, the series in its colour, nothing of it where the poll failed.
    void renderedPixels()
    {
        SampleSeries series;
        for (int i = 0; i < 120; ++i)
            series.append(i >= 50 && i < 70 ? failed(kTen + i * 1000) : value(kTen + i * 1000, 5));
        PlotRequest request;
        request.size = QSize(400, 300);
        request.span = { kTen, kTen + 120000 };
        request.zone = kUtc;
        request.series = { { &series, "ID 1 Level (meter)", "meter", QColor(255, 0, 0) } };
        const PlotGeometry g = plotGeometry(request);
        const QImage image = renderPlot(g);
        QCOMPARE(image.size(), QSize(400, 300));
        QCOMPARE(image.pixelColor(2, 2), QColor(Qt::white));
        const int y = int(g.plot.center().y());
        // Within a pixel of where it is drawn: how a line falls on the pixel grid is the painter's.
        auto redAt = [&](double x, int atY) {
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    if (image.pixelColor(int(x) + dx, atY + dy) == QColor(255, 0, 0))
                        return true;
            return false;
        };
        const double perSecond = g.plot.width() / 120;
        QVERIFY(redAt(g.plot.left() + 20 * perSecond, y));
        QVERIFY(redAt(g.plot.left() + 100 * perSecond, y));
        QVERIFY(!redAt(g.plot.left() + 60 * perSecond, y));
        // The failures' marks stand on the time axis under the gap.
        QVERIFY(redAt(g.plot.left() + 60 * perSecond, int(g.plot.bottom()) - 4));
        QVERIFY(!redAt(g.plot.left() + 20 * perSecond, int(g.plot.bottom()) - 4));
    }
};

QTEST_MAIN(TestTrendGeometry)
#include "tst_trend_geometry.moc"
