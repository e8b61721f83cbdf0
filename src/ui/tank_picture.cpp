#include "ui/tank_picture.h"

#include <QPainter>
#include <cmath>

namespace velto::ui {

namespace {
constexpr int kBottomMargin = 35;
constexpr int kCentreX = 90;
constexpr double kLeftSlope = 1.068;
constexpr double kRightSlope = 1.149;
const QColor kLightBlue(0x00, 0x00, 0xFF); // colour 9 of the classic 16-colour palette

int roundHalfEven(double v)
{
    return int(std::nearbyint(v)); // default rounding mode is to nearest, ties to even
}
} // namespace

TankPicture::TankPicture(QWidget* parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void TankPicture::DrawTankLevel(const QString& levelText, const QString& tankHeightText)
{
    bool levelOk = false;
    bool heightOk = false;
    const double level = levelText.trimmed().toDouble(&levelOk);
    const double height = tankHeightText.trimmed().toDouble(&heightOk);
    // Errors are silent: a picture that cannot be computed is simply cleared.
    if (!levelOk || !heightOk || height == 0.0 || !std::isfinite(level / height)) {
        m_rows = -1;
    } else {
        const double rows = level * 1000.0 * kFullRows / (height * 1000.0);
        m_rows = rows > kFullRows ? kFullRows : (rows < 0 ? -1 : roundHalfEven(rows));
    }
    update();
}

void TankPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(Qt::black);
    p.drawRect(QRect(0, 0, 180, height() - kBottomMargin + 2).adjusted(2, 2, 0, 0));
    if (m_rows < 0)
        return;
    p.setPen(kLightBlue);
    for (int i = 0; i <= m_rows; ++i) {
        const int y = height() - i - kBottomMargin;
        int left = roundHalfEven(i * kLeftSlope);
        int right = roundHalfEven(i * kRightSlope);
        if (94 - left < 11)
            left = 83;
        if (right + 88 > 177)
            right = 89;
        p.drawLine(94 - left, y, kCentreX, y);
        p.drawLine(kCentreX, y, right + 88, y);
    }
}

} // namespace velto::ui
