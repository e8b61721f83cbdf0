#pragma once

#include "trend/plot_geometry.h"

#include <QImage>

class QPainter;

namespace velto::trend {

inline const QColor kPlotBackground = Qt::white;

// Paints the geometry: grid, axes and their labels, the series, the failed-poll marks, and for a
// framed picture its title and legend. The window and the files paint through this one routine.
void paintPlot(QPainter& painter, const PlotGeometry& geometry);

// The picture of the geometry, as a PNG holds it.
QImage renderPlot(const PlotGeometry& geometry);

} // namespace velto::trend
