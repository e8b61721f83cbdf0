#pragma once

#include <QPixmap>

namespace velto::ui {

// The program's logo: a tank with a liquid level and a sensor above it, drawn rather than shipped.
QPixmap veltoLogo(int size);

} // namespace velto::ui
