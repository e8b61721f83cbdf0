#include "graph/graph_painter.h"

#include <QPainter>

namespace velto::graph {

void paintMarks(QPainter& painter, const GraphMarks& marks)
{
    for (const GraphMark& m : marks) {
        QPen pen(m.colour, m.width);
        pen.setCapStyle(m.isDot() ? Qt::RoundCap : Qt::SquareCap);
        painter.setPen(pen);
        if (m.isDot())
            painter.drawPoint(m.line.p1());
        else
            painter.drawLine(m.line);
    }
}

QImage renderMarks(const GraphMarks& marks, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kPictureBackground);
    QPainter painter(&image);
    paintMarks(painter, marks);
    return image;
}

} // namespace velto::graph
