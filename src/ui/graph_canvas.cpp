#include "ui/graph_canvas.h"

#include "graph/graph_geometry.h"
#include "graph/graph_painter.h"

#include <QMouseEvent>
#include <QPainter>

namespace velto::ui {

GraphCanvas::GraphCanvas(QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphCanvas::setHeld(const QList<radar::GraphRequest>& held)
{
    m_held = held;
    update();
}

QImage GraphCanvas::picture() const
{
    return graph::renderMarks(graph::pictureMarks(m_held, size()), size());
}

void GraphCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), graph::kPictureBackground);
    graph::paintMarks(painter, graph::pictureMarks(m_held, size()));
}

void GraphCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (m_held.isEmpty()) {
        emit pointHovered(-1, 0);
        return;
    }
    const radar::GraphRequest& top = m_held.last();
    const int index = graph::pointIndexAt(top, event->position().x(), width());
    emit pointHovered(index, index < 0 ? 0 : top.values.at(index));
}

void GraphCanvas::leaveEvent(QEvent*)
{
    emit pointHovered(-1, 0);
}

} // namespace velto::ui
