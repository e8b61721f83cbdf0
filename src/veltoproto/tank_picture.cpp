#include "veltoproto/tank_picture.h"

#include <cmath>

namespace velto::veltoproto {

namespace {
constexpr int kBottomMargin = 35;
constexpr int kCentreX = 90;
constexpr int kLeftOrigin = 94;
constexpr int kRightOrigin = 88;
constexpr double kLeftSlope = 1.068;
constexpr double kRightSlope = 1.149;
constexpr int kLeftLimit = 11;
constexpr int kLeftClamp = 83;
constexpr int kRightLimit = 177;
constexpr int kRightClamp = 89;

// Halves to even, as the drawing always rounded.
int roundEven(double v)
{
    return static_cast<int>(std::nearbyint(v));
}
} // namespace

std::optional<QList<QLine>> tankLevelLines(QStringView levelText, QStringView tankHeightText, int scaleHeight)
{
    bool levelOk = false;
    bool heightOk = false;
    const double level = levelText.trimmed().toDouble(&levelOk);
    const double height = tankHeightText.trimmed().toDouble(&heightOk);
    if (!levelOk || !heightOk || height == 0.0)
        return std::nullopt;
    const double exact = level * 1000.0 * kTankMaxRows / (height * 1000.0);
    if (!std::isfinite(exact))
        return std::nullopt;
    const int rows = exact > kTankMaxRows ? kTankMaxRows : roundEven(std::max(exact, -1.0));

    QList<QLine> lines;
    for (int i = 0; i <= rows; ++i) {
        const int y = scaleHeight - i - kBottomMargin;
        int left = roundEven(i * kLeftSlope);
        int right = roundEven(i * kRightSlope);
        if (kLeftOrigin - left < kLeftLimit)
            left = kLeftClamp;
        if (right + kRightOrigin > kRightLimit)
            right = kRightClamp;
        lines << QLine(kLeftOrigin - left, y, kCentreX, y) << QLine(kCentreX, y, right + kRightOrigin, y);
    }
    return lines;
}

} // namespace velto::veltoproto
