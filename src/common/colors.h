#pragma once

#include <QColor>

namespace velto {

// The system states its colours as 0x00BBGGRR values; these turn them into QColor.
constexpr QRgb bgrToRgb(quint32 bgr)
{
    return qRgb(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

inline const QColor kBlue = QColor::fromRgb(bgrToRgb(0xFF0000));
inline const QColor kRed = QColor::fromRgb(bgrToRgb(0x0000FF));
inline const QColor kLightGreen = QColor::fromRgb(bgrToRgb(0xC0FFC0));

} // namespace velto
