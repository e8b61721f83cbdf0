#include "ui/tank_picture.h"

#include "veltoproto/tank_picture.h"

#include <QPainter>

namespace velto::ui {

namespace {
constexpr int kOutlineWidth = 180;
constexpr int kBottomMargin = 33;
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
    p.drawRect(QRect(2, 2, kOutlineWidth, height() - kBottomMargin));
    p.setPen(veltoproto::kTankFillColor);
    p.drawLines(m_lines);
}

} // namespace velto::ui
