#include "trend/plot_painter.h"

#include <QPainter>

namespace velto::trend {

namespace {

const QColor kGridColour(230, 230, 230);
const QColor kFrameColour(150, 150, 150);
const QColor kTextColour(40, 40, 40);
constexpr double kTickLength = 4;
constexpr double kLabelGap = 3;
constexpr double kLabelHeight = 16;
constexpr double kSeriesWidth = 1;
constexpr double kDotWidth = 3;
constexpr int kTitlePointSize = 11;

void paintGrid(QPainter& painter, const PlotGeometry& g)
{
    painter.setPen(QPen(kGridColour, 0));
    for (const Tick& t : g.timeTicks)
        painter.drawLine(QPointF(t.pos, g.plot.top()), QPointF(t.pos, g.plot.bottom()));
    if (!g.axes.isEmpty()) {
        for (const Tick& t : g.axes.first().ticks)
            painter.drawLine(QPointF(g.plot.left(), t.pos), QPointF(g.plot.right(), t.pos));
    }
}

void paintAxes(QPainter& painter, const PlotGeometry& g)
{
    painter.setPen(QPen(kFrameColour, 0));
    painter.drawRect(g.plot);
    painter.setPen(kTextColour);
    for (const Tick& t : g.timeTicks) {
        painter.drawLine(QPointF(t.pos, g.plot.bottom()), QPointF(t.pos, g.plot.bottom() + kTickLength));
        const QRectF label(t.pos - g.timeBand.height() * 2, g.timeBand.top() + kTickLength,
            g.timeBand.height() * 4, kLabelHeight);
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, t.label);
    }
    painter.drawText(QRectF(g.timeBand.left(), g.timeBand.top() + kTickLength + kLabelHeight,
                         g.timeBand.width(), kLabelHeight),
        Qt::AlignLeft | Qt::AlignTop, g.dateCaption);
    for (const ValueAxis& axis : g.axes) {
        const double edge = axis.left ? axis.band.right() : axis.band.left();
        const double tickEnd = axis.left ? edge - kTickLength : edge + kTickLength;
        painter.drawLine(QPointF(edge, axis.band.top()), QPointF(edge, axis.band.bottom()));
        for (const Tick& t : axis.ticks) {
            painter.drawLine(QPointF(edge, t.pos), QPointF(tickEnd, t.pos));
            const QRectF label = axis.left ? QRectF(axis.band.left(), t.pos - kLabelHeight / 2,
                                     axis.band.width() - kTickLength - kLabelGap, kLabelHeight)
                                           : QRectF(tickEnd + kLabelGap, t.pos - kLabelHeight / 2,
                                               axis.band.width() - kTickLength - kLabelGap, kLabelHeight);
            painter.drawText(label, (axis.left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, t.label);
        }
        const QString title = axis.manual ? axis.unit + QStringLiteral(" *") : axis.unit;
        painter.drawText(
            QRectF(axis.band.left(), axis.band.top() - kLabelHeight - 1, axis.band.width(), kLabelHeight),
            (axis.left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignBottom, title);
    }
}

void paintSeries(QPainter& painter, const PlotGeometry& g)
{
    painter.save();
    painter.setClipRect(g.plot);
    for (const SeriesPath& s : g.series) {
        painter.setPen(QPen(s.colour, kSeriesWidth));
        for (const QPolygonF& line : s.lines)
            painter.drawPolyline(line);
        painter.setPen(QPen(s.colour, kDotWidth, Qt::SolidLine, Qt::RoundCap));
        painter.drawPoints(s.dots.constData(), int(s.dots.size()));
    }
    // Failed polls: marks standing on the time axis, in the colour of their series.
    for (const SeriesPath& s : g.series) {
        painter.setPen(QPen(s.colour, 1));
        for (const double x : s.failureXs)
            painter.drawLine(QPointF(x, g.plot.bottom()), QPointF(x, g.plot.bottom() - kMarkHeight));
    }
    painter.restore();
}

void paintFrame(QPainter& painter, const PlotGeometry& g)
{
    if (!g.titleRect.isEmpty()) {
        QFont font = painter.font();
        font.setBold(true);
        font.setPointSize(kTitlePointSize);
        painter.save();
        painter.setFont(font);
        painter.setPen(kTextColour);
        painter.drawText(g.titleRect, Qt::AlignCenter, g.title);
        painter.restore();
    }
    for (const LegendEntry& e : g.legend) {
        painter.fillRect(e.swatch, e.colour);
        painter.setPen(kTextColour);
        painter.drawText(e.text, Qt::AlignLeft | Qt::AlignVCenter, e.label);
    }
}

} // namespace

void paintPlot(QPainter& painter, const PlotGeometry& geometry)
{
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(geometry.size)), kPlotBackground);
    paintGrid(painter, geometry);
    paintSeries(painter, geometry);
    paintAxes(painter, geometry);
    paintFrame(painter, geometry);
}

QImage renderPlot(const PlotGeometry& geometry)
{
    QImage image(geometry.size, QImage::Format_RGB32);
    image.fill(kPlotBackground);
    QPainter painter(&image);
    paintPlot(painter, geometry);
    return image;
}

} // namespace velto::trend
