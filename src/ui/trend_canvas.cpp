#include "ui/trend_canvas.h"

#include "trend/plot_painter.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

#include <cmath>

namespace velto::ui {

namespace {

constexpr double kWheelStep = 120; // one notch
constexpr double kZoomPerNotch = 0.8;
const QColor kCrosshairColour(90, 90, 90);
const QColor kBandColour(30, 120, 220, 60);
constexpr QSize kPreferredSize(760, 420);
constexpr QSize kSmallestSize(320, 200);

} // namespace

TrendCanvas::TrendCanvas(const trend::TrendStore& store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("TrendGraph"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize TrendCanvas::sizeHint() const
{
    return kPreferredSize;
}

QSize TrendCanvas::minimumSizeHint() const
{
    return kSmallestSize;
}

void TrendCanvas::setShown(const QList<int>& series)
{
    m_shown = series;
    invalidate();
}

void TrendCanvas::setView(const trend::TrendView& view)
{
    m_view = view;
    invalidate();
    emit viewChanged();
}

void TrendCanvas::setFollowing(bool on)
{
    if (on == m_view.following)
        return;
    trend::TrendView view;
    if (on) {
        view.length = currentSpan().length();
    } else {
        view.following = false;
        view.paused = currentSpan();
    }
    setView(view);
}

void TrendCanvas::showEverything()
{
    setView(trend::TrendView {});
}

void TrendCanvas::setManualRange(const QString& unit, std::optional<trend::ValueRange> range)
{
    if (range)
        m_manual.insert(unit, *range);
    else
        m_manual.remove(unit);
    invalidate();
    emit viewChanged();
}

void TrendCanvas::dataChanged()
{
    invalidate();
}

trend::TimeSpan TrendCanvas::currentSpan() const
{
    return m_view.spanFor(m_store.firstTimeMs(), m_store.lastTimeMs());
}

trend::PlotRequest TrendCanvas::request(QSize size, bool framed) const
{
    trend::PlotRequest r;
    r.size = size;
    r.span = currentSpan();
    r.manualRanges = m_manual;
    r.framed = framed;
    r.title = QStringLiteral("Trend");
    for (const int index : m_shown) {
        const trend::SeriesInfo& info = m_store.info(index);
        r.series << trend::PlotSeries { &m_store.samples(index), info.label(), info.unit,
            trend::TrendStore::colourOf(index) };
    }
    return r;
}

const trend::PlotGeometry& TrendCanvas::geometry()
{
    if (m_dirty || m_cache.size() != size()) {
        m_geometry = trend::plotGeometry(request(size(), false));
        m_cache = trend::renderPlot(m_geometry);
        m_dirty = false;
    }
    return m_geometry;
}

QImage TrendCanvas::picture(QSize size) const
{
    return trend::renderPlot(trend::plotGeometry(request(size, true)));
}

void TrendCanvas::invalidate()
{
    m_dirty = true;
    update();
}

void TrendCanvas::paintEvent(QPaintEvent*)
{
    const trend::PlotGeometry& g = geometry();
    QPainter painter(this);
    painter.drawImage(0, 0, m_cache);
    if (m_drag == Drag::Band) {
        const double left = std::clamp(std::min(m_dragStartX, m_dragX), g.plot.left(), g.plot.right());
        const double right = std::clamp(std::max(m_dragStartX, m_dragX), g.plot.left(), g.plot.right());
        painter.fillRect(QRectF(left, g.plot.top(), right - left, g.plot.height()), kBandColour);
    }
    if (m_hover && g.plot.contains(*m_hover)) {
        painter.setPen(QPen(kCrosshairColour, 0, Qt::DashLine));
        painter.drawLine(QPointF(m_hover->x(), g.plot.top()), QPointF(m_hover->x(), g.plot.bottom()));
        painter.drawLine(QPointF(g.plot.left(), m_hover->y()), QPointF(g.plot.right(), m_hover->y()));
    }
}

void TrendCanvas::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_dirty = true;
}

void TrendCanvas::wheelEvent(QWheelEvent* event)
{
    const trend::PlotGeometry& g = geometry();
    const double notches = event->angleDelta().y() / kWheelStep;
    if (notches == 0 || g.plot.width() <= 0 || g.plot.height() <= 0)
        return;
    const double factor = std::pow(kZoomPerNotch, notches);
    const QPointF at = event->position();
    if (const int axis = trend::axisAt(g, at); axis >= 0) {
        const double anchor = (g.plot.bottom() - at.y()) / g.plot.height();
        setManualRange(g.axes[axis].unit, trend::zoomRange(g.axes[axis].range, anchor, factor));
    } else if (at.x() >= g.plot.left() && at.x() <= g.plot.right()) {
        const double anchor = (at.x() - g.plot.left()) / g.plot.width();
        pauseAt(trend::zoomSpan(g.span, anchor, factor));
    }
    event->accept();
}

void TrendCanvas::pauseAt(trend::TimeSpan span)
{
    trend::TrendView view;
    view.following = false;
    view.paused = span;
    setView(view);
}

void TrendCanvas::mousePressEvent(QMouseEvent* event)
{
    const trend::PlotGeometry& g = geometry();
    if (!g.plot.contains(event->position()))
        return;
    m_dragStartX = m_dragX = event->position().x();
    m_dragSpan = g.span;
    if (event->button() == Qt::LeftButton)
        m_drag = Drag::Band;
    else if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton)
        m_drag = Drag::Pan;
}

void TrendCanvas::mouseMoveEvent(QMouseEvent* event)
{
    m_hover = event->position();
    m_dragX = event->position().x();
    if (m_drag == Drag::Pan) {
        const double width = geometry().plot.width();
        if (width > 0)
            pauseAt(trend::panSpan(m_dragSpan, -(m_dragX - m_dragStartX) / width));
    }
    updateReadout();
    update();
}

void TrendCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_drag == Drag::Band && event->button() == Qt::LeftButton) {
        if (const auto span = trend::spanBetween(geometry(), m_dragStartX, event->position().x()))
            pauseAt(*span);
    }
    m_drag = Drag::None;
    update();
}

void TrendCanvas::mouseDoubleClickEvent(QMouseEvent*)
{
    m_drag = Drag::None;
    showEverything();
}

void TrendCanvas::leaveEvent(QEvent*)
{
    m_hover.reset();
    updateReadout();
    update();
}

void TrendCanvas::updateReadout()
{
    emit readoutChanged(m_hover ? trend::readout(geometry(), *m_hover, trend::wallClockZone()) : QString());
}

} // namespace velto::ui
