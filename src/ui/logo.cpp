#include "ui/logo.h"

#include <QPainter>
#include <QPainterPath>

namespace velto::ui {

QPixmap veltoLogo(int size)
{
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 100.0;
    // Sensor head above the tank, with its beam.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 60, 90));
    p.drawRoundedRect(QRectF(38 * s, 4 * s, 24 * s, 12 * s), 3 * s, 3 * s);
    p.setPen(QPen(QColor(255, 170, 0), 2 * s, Qt::DashLine));
    p.drawLine(QPointF(50 * s, 17 * s), QPointF(50 * s, 50 * s));
    // Tank and liquid.
    QPainterPath tank;
    tank.addRoundedRect(QRectF(14 * s, 22 * s, 72 * s, 72 * s), 8 * s, 8 * s);
    p.setClipPath(tank);
    p.fillRect(QRectF(14 * s, 52 * s, 72 * s, 42 * s), QColor(60, 140, 230));
    p.setClipping(false);
    p.setPen(QPen(QColor(40, 60, 90), 3 * s));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tank);
    return pix;
}

} // namespace velto::ui
