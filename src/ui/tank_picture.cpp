#include "ui/tank_picture.h"

#include "veltoproto/tank_picture.h"

#include <QPainter>

namespace velto::ui {

namespace {
// The outline follows the widest rows the fill can draw: a cone opening up to the walls.
QPolygon tankOutline(int scaleHeight)
{
    const QString full = QString::number(veltoproto::kTankMaxRows);
    const auto lines = veltoproto::tankLevelLines(full, full, scaleHeight).value_or(QList<QLine>());
    QPolygon left;
    QPolygon right;
    for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
        left << lines[i].p1() + QPoint(-1, 1);
        right.prepend(lines[i + 1].p2() + QPoint(1, 1));
    }
    return left + right;
}
} // namespace

TankPicture::TankPicture(QWidget* parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setMinimumSize(sizeHint());
}

void TankPicture::DrawTankLevel(const QString& levelText, const QString& tankHeightText)
{
    m_lines = veltoproto::tankLevelLines(levelText, tankHeightText, height()).value_or(QList<QLine>());
    update();
}

void TankPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(Qt::darkGray);
    p.drawPolygon(tankOutline(height()));
    p.setPen(veltoproto::kTankFillColor);
    p.drawLines(m_lines);
}

} // namespace velto::ui
