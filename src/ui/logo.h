#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace velto::ui {

// Square sizes the desktop's icon themes and window managers ask for.
inline constexpr int kIconSizes[] = { 16, 22, 24, 32, 48, 64, 128, 256 };

// The program's icon: a tank with a liquid level and a sensor above it. One SVG is the source for
// the splash, the About box, the window icon and the icons installed for the desktop.
QImage veltoLogoImage(int size);
QPixmap veltoLogo(int size);
QIcon veltoIcon();

} // namespace velto::ui
