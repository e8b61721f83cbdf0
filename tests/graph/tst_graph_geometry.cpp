#include "graph/graph_geometry.h"
#include "graph/graph_painter.h"

#include <QTest>

using namespace velto;
using namespace velto::graph;
using radar::GraphRequest;
using radar::MonitoringKind;

namespace {

GraphRequest spectrum(QList<int> values, bool combined = false)
{
    GraphRequest r;
    r.kind = MonitoringKind::Spectrum;
    r.values = std::move(values);
    r.combined = combined;
    return r;
}

GraphRequest timeDomain(QList<int> values, int rawMin, int rawMax, bool combined = false)
{
    GraphRequest r;
    r.kind = MonitoringKind::TimeDomain;
    r.values = std::move(values);
    r.rawMin = rawMin;
    r.rawMax = rawMax;
    r.combined = combined;
    r.raw = { 9, 12 };
    return r;
}

GraphMarks dots(const GraphMarks& marks)
{
    GraphMarks out;
    for (const GraphMark& m : marks)
        if (m.isDot())
            out << m;
    return out;
}

GraphMarks lines(const GraphMarks& marks)
{
    GraphMarks out;
    for (const GraphMark& m : marks)
        if (!m.isDot())
            out << m;
    return out;
}

QMap<QString, BoxUpdate> byName(const QList<BoxUpdate>& updates)
{
    QMap<QString, BoxUpdate> out;
    for (const BoxUpdate& u : updates)
        out[u.objectName] = u;
    return out;
}

} // namespace

class TstGraphGeometry : public QObject {
    Q_OBJECT
private slots:
    void gridAndBaseAxis_data();
    void gridAndBaseAxis();
    void spectrumHoldsDotsBelowTheTop();
    void firstBinOffTheScaleSitsOnTheTop();
    void timeDomainScalesFromMinToMax();
    void equalSamplesDrawNoSeries();
    void degenerateSeries();
    void positionsRoundHalfToEvenAndStopPast16Bits();
    void labelsOfTheThreeViews();
    void pointUnderTheMouse();
    void renderedPixels();
};

void TstGraphGeometry::gridAndBaseAxis_data()
{
    QTest::addColumn<GraphRequest>("request");
    QTest::addColumn<int>("rows");
    QTest::newRow("spectrum") << spectrum({ 1 }) << 15;
    QTest::newRow("time domain") << timeDomain({ 1 }, 0, 2) << 16;
    QTest::newRow("combined") << spectrum({ 1 }, true) << 10;
}

void TstGraphGeometry::gridAndBaseAxis()
{
    QFETCH(GraphRequest, request);
    QFETCH(int, rows);
    // The height counts as an integer: 160.7 draws as 160.
    const GraphMarks marks = backgroundMarks(viewOf(request), QSizeF(300, 160.7));
    QCOMPARE(marks.size(), 2 + rows + 11);
    QCOMPARE(marks.at(0), (GraphMark { QLineF(0, 160, 0, 160), 3, QColor(50, 150, 242) }));
    QCOMPARE(marks.at(1), (GraphMark { QLineF(0, 160, 300, 160), 3, QColor(50, 150, 242) }));
    for (int k = 1; k <= rows; ++k) {
        const GraphMark& m = marks.at(1 + k);
        QCOMPARE(m.line, QLineF(0, k * 160.0 / rows, 300, k * 160.0 / rows));
        QCOMPARE(m.width, 1);
        QCOMPARE(m.colour, QColor(255, 255, 255));
    }
    for (int k = 0; k <= 10; ++k)
        QCOMPARE(marks.at(2 + rows + k).line, QLineF(k * 30.0, 0, k * 30.0, 160));
    // The series lies on top of the grid.
    const GraphMarks picture = pictureMarks({ request }, QSizeF(300, 160));
    QCOMPARE(picture.mid(0, marks.size()), backgroundMarks(viewOf(request), QSizeF(300, 160)));
    QCOMPARE(picture.last().colour, QColor(100, 50, 155));
}

void TstGraphGeometry::spectrumHoldsDotsBelowTheTop()
{
    const GraphMarks marks = seriesMarks(spectrum({ 0, 75, 150, 200, 30 }), QSizeF(400, 150));
    const GraphMarks d = dots(marks);
    const GraphMarks l = lines(marks);
    QCOMPARE(d.size(), 5);
    QCOMPARE(l.size(), 4); // none after the last point
    const QList<QPointF> expectedDots { { 0, 150 }, { 100, 75 }, { 200, 75 }, { 300, 75 }, { 400, 120 } };
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(d.at(i).line.p1(), expectedDots.at(i));
        QCOMPARE(d.at(i).width, 3);
        QCOMPARE(d.at(i).colour, QColor(100, 50, 155));
    }
    // Each line aims at the next value itself: 150 at the top edge, 200 above it.
    QCOMPARE(l.at(0).line, QLineF(0, 150, 100, 75));
    QCOMPARE(l.at(1).line, QLineF(100, 75, 200, 0));
    QCOMPARE(l.at(2).line, QLineF(200, 75, 300, -50));
    QCOMPARE(l.at(3).line, QLineF(300, 75, 400, 120));
    QCOMPARE(l.at(0).colour, QColor(200, 50, 22));
    QCOMPARE(l.at(0).width, 1);
    // Line, then the dot of the same point.
    QVERIFY(!marks.at(0).isDot());
    QVERIFY(marks.at(1).isDot());
    // In the combined view the spectrum's lines are blue.
    QCOMPARE(lines(seriesMarks(spectrum({ 0, 1 }, true), QSizeF(10, 10))).at(0).colour, QColor(40, 78, 140));
}

void TstGraphGeometry::firstBinOffTheScaleSitsOnTheTop()
{
    const GraphMarks d = dots(seriesMarks(spectrum({ 160, 255, 15 }), QSizeF(100, 150)));
    QCOMPARE(d.at(0).line.p1(), QPointF(0, 0));
    QCOMPARE(d.at(1).line.p1(), QPointF(50, 0));
    QCOMPARE(d.at(2).line.p1(), QPointF(100, 135));
}

void TstGraphGeometry::timeDomainScalesFromMinToMax()
{
    const GraphMarks marks = seriesMarks(timeDomain({ 100, 300, 200, 400 }, 100, 300), QSizeF(300, 100));
    const GraphMarks d = dots(marks);
    QCOMPARE(d.size(), 4);
    QCOMPARE(d.at(0).line.p1(), QPointF(0, 100)); // rawMin on the bottom edge
    QCOMPARE(d.at(1).line.p1(), QPointF(100, 0)); // rawMax on the top
    QCOMPARE(d.at(2).line.p1(), QPointF(200, 50));
    QCOMPARE(d.at(3).line.p1(), QPointF(300, -50)); // beyond the file samples' range: off the top
    const GraphMarks l = lines(marks);
    QCOMPARE(l.size(), 3);
    QCOMPARE(l.at(1).line, QLineF(100, 0, 200, 50));
    QCOMPARE(l.at(1).colour, QColor(200, 50, 22));
}

void TstGraphGeometry::equalSamplesDrawNoSeries()
{
    const GraphRequest flat = timeDomain({ 7, 7, 7 }, 7, 7);
    QVERIFY(seriesMarks(flat, QSizeF(300, 100)).isEmpty());
    QCOMPARE(
        pictureMarks({ flat }, QSizeF(300, 100)), backgroundMarks(GraphView::TimeDomain, QSizeF(300, 100)));
    const auto labels = byName(labelUpdates({ flat }));
    QCOMPARE(*labels["FFT0_Raw0Label"].text, QString("7"));
    QCOMPARE(*labels["FFT150_Raw64kLabel"].text, QString("7"));
}

void TstGraphGeometry::degenerateSeries()
{
    QVERIFY(seriesMarks(spectrum({}), QSizeF(100, 100)).isEmpty());
    const GraphMarks one = seriesMarks(spectrum({ 30 }), QSizeF(100, 150));
    QCOMPARE(one.size(), 1);
    QCOMPARE(one.at(0).line.p1(), QPointF(0, 120));
    QVERIFY(seriesMarks(spectrum({ 1, 2 }), QSizeF(0, 0)).size() == 3);
    QVERIFY(pictureMarks({}, QSizeF(100, 100)).isEmpty());
}

void TstGraphGeometry::positionsRoundHalfToEvenAndStopPast16Bits()
{
    // Steps of 1.5: 0, 1.5 -> 2, 3, 4.5 -> 4.
    const GraphMarks d = dots(seriesMarks(spectrum({ 0, 0, 0, 0 }), QSizeF(4.5, 150)));
    QCOMPARE(d.at(1).line.p1().x(), 2.0);
    QCOMPARE(d.at(3).line.p1().x(), 4.0);
    // A position past 32767 ends the drawing; what was drawn stays.
    const GraphMarks wide = seriesMarks(spectrum({ 0, 0, 0 }), QSizeF(100000, 150));
    QCOMPARE(dots(wide).size(), 1);
    QCOMPARE(lines(wide).size(), 1);
}

void TstGraphGeometry::labelsOfTheThreeViews()
{
    GraphRequest s = spectrum({ 1, 2 });
    s.fft = { 2, 5 };
    auto labels = byName(labelUpdates({ s }));
    QCOMPARE(*labels["FFT_Raw_Label"].text, QString("FFT Graph"));
    QCOMPARE(*labels["FrequencyCellText"].text, QString("256"));
    QCOMPARE(*labels["FrequencyCellLabel"].visible, true);
    QCOMPARE(*labels["FFT150_Raw64kLabel"].text, QString("150"));
    for (const char* name : { "FFT40Label", "FFT80Label", "FFT120Label", "FFTdbLabel" })
        QCOMPARE(*labels[name].visible, true);
    for (const char* name : { "Raw16kLabel", "Raw32kLabel", "Raw48kLabel", "FFTLabel", "RAWLabel", "FFTFrame",
             "RAWFrame", "MaxRAWLabel" })
        QCOMPARE(*labels[name].visible, false);

    const GraphRequest t = timeDomain({ 1, 2 }, 1000, 3001);
    labels = byName(labelUpdates({ t }));
    QCOMPARE(*labels["FFT_Raw_Label"].text, QString("RAW Graph"));
    QCOMPARE(*labels["FrequencyCellText"].text, QString("128"));
    QStringList scale;
    for (const char* name :
        { "FFT0_Raw0Label", "Raw16kLabel", "Raw32kLabel", "Raw48kLabel", "FFT150_Raw64kLabel" })
        scale << *labels[name].text;
    QCOMPARE(scale, (QStringList { "1000", "1500.25", "2000.5", "2500.75", "3001" }));
    for (const char* name : { "FFT40Label", "FFT80Label", "FFT120Label", "FFTdbLabel" })
        QCOMPARE(*labels[name].visible, false);

    GraphRequest cs = spectrum({ 1 }, true);
    cs.fft = { 1, 4 };
    GraphRequest ct = timeDomain({ 1, 9 }, 10, 21, true);
    ct.fft = { 1, 4 };
    ct.raw = { 20, 30 };
    labels = byName(labelUpdates({ cs, ct }));
    QCOMPARE(*labels["FFT_Raw_Label"].text, QString("FFT and RAW Graph"));
    QCOMPARE(*labels["FrequencyCellText"].visible, false);
    QCOMPARE(*labels["FrequencyCellLabel"].visible, false);
    QCOMPARE(*labels["Raw32kLabel"].text, QString("75"));
    QCOMPARE(*labels["MaxRAWLabel"].text, QString("21"));
    QCOMPARE(*labels["MiddleRAWLabel"].text, QString("15.5"));
    QCOMPARE(*labels["MinRAWLabel"].text, QString("10"));
    for (const char* name : { "FFTLabel", "RAWLabel", "FFTFrame", "RAWFrame" })
        QCOMPARE(*labels[name].visible, true);
    QCOMPARE(*labels["RAWStartBlockText"].text, QString("20"));
    QCOMPARE(*labels["RAWEndBlockText"].text, QString("30"));
    QCOMPARE(*labels["FFTEndBlockText"].text, QString("4"));
}

void TstGraphGeometry::pointUnderTheMouse()
{
    const GraphRequest r = spectrum({ 5, 6, 7, 8, 9 });
    QCOMPARE(pointIndexAt(r, 0, 400), 0);
    QCOMPARE(pointIndexAt(r, 149, 400), 1);
    QCOMPARE(pointIndexAt(r, 151, 400), 2);
    QCOMPARE(pointIndexAt(r, 999, 400), 4);
    QCOMPARE(pointIndexAt(r, -5, 400), 0);
    QCOMPARE(pointIndexAt(spectrum({}), 10, 400), -1);
}

void TstGraphGeometry::renderedPixels()
{
    const QSize size(200, 150);
    const QImage image = renderMarks(pictureMarks({ spectrum({ 0, 75, 100, 100, 100 }) }, size), size);
    QCOMPARE(image.size(), size);
    QCOMPARE(image.pixelColor(130, 149), QColor(50, 150, 242)); // base axis along the bottom
    QCOMPARE(image.pixelColor(130, 10), QColor(255, 255, 255)); // the 140 dB line
    QCOMPARE(image.pixelColor(60, 5), QColor(255, 255, 255)); // a vertical line
    QCOMPARE(image.pixelColor(50, 75), QColor(100, 50, 155)); // the dot of 75 dB
    QCOMPARE(image.pixelColor(130, 50), QColor(200, 50, 22)); // the line at 100 dB
    QCOMPARE(image.pixelColor(130, 45), QColor(Qt::black));
}

QTEST_MAIN(TstGraphGeometry)
#include "tst_graph_geometry.moc"
