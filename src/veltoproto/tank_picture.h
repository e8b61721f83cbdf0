#pragma once

#include <QColor>
#include <QLine>
#include <QList>
#include <QStringView>
#include <optional>

namespace velto::veltoproto {

// Colour 9 of the classic 16-colour palette.
inline const QColor kTankFillColor = QColor(0, 0, 255);

inline constexpr int kTankMaxRows = 310;

// The fill of the tank picture for a level and a tank height as their boxes show them (any one
// length unit): two horizontal segments per row, rows 0 up to level / height x 310. Empty when a
// text is no number or the height is 0; the picture is then only cleared. Shared by the Velto
// (TextVeltoLevel, IrVeltoTnakHeight) and the Modbus (IrLevel, IrTankHeight) panels.
std::optional<QList<QLine>> tankLevelLines(
    QStringView levelText, QStringView tankHeightText, int scaleHeight);

} // namespace velto::veltoproto
